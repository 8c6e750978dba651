# Installed layout and Debian packages.
#
# `cmake --install build/default --prefix DIR` lays out, under DIR: bin/ (the programs),
# lib/krv/ (the host library and the module, found through RPATHs relative to the programs,
# so the tree can be moved as a whole), share/krv/reports/ (report definitions), etc/krv/
# (the server's and the client's configuration; /etc/krv when the prefix is /usr, as the
# packages have it),
# lib/systemd/system/ (the units) and the desktop entry with its icon.
#
# `make package` builds krv-servidor and krv-cliente with CPack, their dependencies computed
# from the binaries by dpkg-shlibdeps.

install(TARGETS krv-server krv-dados RUNTIME DESTINATION bin COMPONENT servidor)
install(TARGETS krv-host krv-call krv-report RUNTIME DESTINATION bin COMPONENT cliente)
install(TARGETS krv_host Pkg_krv52000 LIBRARY DESTINATION ${KRV_INSTALL_LIBDIR} COMPONENT cliente)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/reports/ DESTINATION share/krv/reports COMPONENT cliente
        FILES_MATCHING PATTERN "*.json")
install(FILES ${CMAKE_CURRENT_LIST_DIR}/krv-host.desktop DESTINATION share/applications COMPONENT cliente)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/krv-host.svg DESTINATION share/icons/hicolor/scalable/apps COMPONENT cliente)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/krv-server.service ${CMAKE_CURRENT_LIST_DIR}/krv-backup.service
              ${CMAKE_CURRENT_LIST_DIR}/krv-backup.timer
        DESTINATION lib/systemd/system COMPONENT servidor)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION share/doc/krv-servidor COMPONENT servidor)
# What Debian asks of every package: the copyright, the changelog and a manual page for each
# program, the last two compressed as dpkg-deb leaves them (gzip -9n: the same bytes every build).
set(KRV_DOC_BUILD ${CMAKE_BINARY_DIR}/packaging-doc)
set(KRV_MAN_PAGES krv-server krv-dados krv-host krv-call krv-report)
set(KRV_COMPRESSED ${KRV_DOC_BUILD}/changelog.gz)
add_custom_command(OUTPUT ${KRV_DOC_BUILD}/changelog.gz
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${KRV_DOC_BUILD}
                   COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/debian/changelog > ${KRV_DOC_BUILD}/changelog.gz
                   DEPENDS ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)
foreach(page ${KRV_MAN_PAGES})
  add_custom_command(OUTPUT ${KRV_DOC_BUILD}/${page}.1.gz
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${KRV_DOC_BUILD}
                     COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/man/${page}.1 > ${KRV_DOC_BUILD}/${page}.1.gz
                     DEPENDS ${CMAKE_CURRENT_LIST_DIR}/man/${page}.1)
  list(APPEND KRV_COMPRESSED ${KRV_DOC_BUILD}/${page}.1.gz)
endforeach()
add_custom_target(krv_package_docs ALL DEPENDS ${KRV_COMPRESSED})
foreach(component servidor cliente)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${KRV_DOC_BUILD}/changelog.gz
          DESTINATION share/doc/krv-${component} COMPONENT ${component})
endforeach()
install(FILES ${KRV_DOC_BUILD}/krv-server.1.gz ${KRV_DOC_BUILD}/krv-dados.1.gz DESTINATION share/man/man1
        COMPONENT servidor)
install(FILES ${KRV_DOC_BUILD}/krv-host.1.gz ${KRV_DOC_BUILD}/krv-call.1.gz ${KRV_DOC_BUILD}/krv-report.1.gz
        DESTINATION share/man/man1 COMPONENT cliente)
# The configuration goes to /etc beside a /usr prefix (the packages), and inside any other
# prefix, decided when installing so that --prefix moves it too.
foreach(component servidor cliente)
  install(CODE [[
    if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
      set(KRV_INSTALL_ETC "../etc/krv")
    else()
      set(KRV_INSTALL_ETC "etc/krv")
    endif()
  ]] COMPONENT ${component})
endforeach()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/krv-server.conf DESTINATION "\${KRV_INSTALL_ETC}" COMPONENT servidor)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/krv-cliente.conf DESTINATION "\${KRV_INSTALL_ETC}" COMPONENT cliente)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME krv)
set(CPACK_PACKAGE_VENDOR "KRV")
set(CPACK_PACKAGE_CONTACT "Equipe KRV <equipe@krv.com.br>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL servidor cliente)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# The module and the host library are the client's own; dpkg-shlibdeps finds them here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_SERVIDOR_PACKAGE_NAME krv-servidor)
set(CPACK_COMPONENT_SERVIDOR_DESCRIPTION
    "Servidor de aplicação KRV52000 (Pedido por Requisição)
krv-server como serviço do systemd, com a configuração em /etc/krv, o banco
SQLite em /var/lib/krv (ou um PostgreSQL) e um backup diário; krv-dados para os
dados da empresa em planilhas.")
# debconf asks, at purge, whether the databases go too.
set(CPACK_DEBIAN_SERVIDOR_PACKAGE_DEPENDS "adduser, debconf (>= 0.5) | debconf-2.0")
set(CPACK_DEBIAN_SERVIDOR_PACKAGE_SUGGESTS "postgresql")
set(CPACK_DEBIAN_SERVIDOR_PACKAGE_CONTROL_EXTRA
    "${CMAKE_CURRENT_LIST_DIR}/debian/servidor/postinst;${CMAKE_CURRENT_LIST_DIR}/debian/servidor/prerm;${CMAKE_CURRENT_LIST_DIR}/debian/servidor/postrm;${CMAKE_CURRENT_LIST_DIR}/debian/servidor/conffiles;${CMAKE_CURRENT_LIST_DIR}/debian/servidor/config;${CMAKE_CURRENT_LIST_DIR}/debian/servidor/templates")

set(CPACK_DEBIAN_CLIENTE_PACKAGE_NAME krv-cliente)
set(CPACK_COMPONENT_CLIENTE_DESCRIPTION
    "Cliente KRV52000 (Pedido por Requisição)
krv-host com o módulo de requisições e pedidos, krv-call e krv-report.")
# The host starts its own krv-server only when it is given no --server.
set(CPACK_DEBIAN_CLIENTE_PACKAGE_SUGGESTS "krv-servidor, qt6-translations-l10n")
set(CPACK_DEBIAN_CLIENTE_PACKAGE_CONTROL_EXTRA
    "${CMAKE_CURRENT_LIST_DIR}/debian/cliente/postinst;${CMAKE_CURRENT_LIST_DIR}/debian/cliente/conffiles")
# CPack calls ldconfig from postrm for any library under /usr/lib, /usr/lib/krv included;
# harmless, and said so to lintian the Debian way.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/cliente/lintian-overrides DESTINATION share/lintian/overrides
        RENAME krv-cliente COMPONENT cliente)

include(CPack)
