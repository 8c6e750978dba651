# Installed layout and Debian packages.
#
# `cmake --install build/default --prefix DIR` lays out, under DIR: bin/ (the programs),
# lib/krv/ (the host library and the module, found through RPATHs relative to the programs,
# so the tree can be moved as a whole), share/krv/reports/ (report definitions), etc/krv/
# (the server's configuration; /etc/krv when the prefix is /usr, as the packages have it),
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
# The configuration goes to /etc beside a /usr prefix (the packages), and inside any other
# prefix, decided when installing so that --prefix moves it too.
install(CODE [[
  if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(KRV_INSTALL_ETC "../etc/krv")
  else()
    set(KRV_INSTALL_ETC "etc/krv")
  endif()
]] COMPONENT servidor)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/krv-server.conf DESTINATION "\${KRV_INSTALL_ETC}" COMPONENT servidor)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME krv)
set(CPACK_PACKAGE_VENDOR "KRV")
set(CPACK_PACKAGE_CONTACT "Equipe KRV <krv@localhost>")
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
    "Servidor de aplicação KRV52000 (Pedido por Requisição)\n krv-server como serviço do systemd, com a configuração em /etc/krv, o banco SQLite em\n /var/lib/krv e um backup diário; krv-dados para os dados da empresa em planilhas.")
set(CPACK_DEBIAN_SERVIDOR_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_SERVIDOR_PACKAGE_SUGGESTS "postgresql")
set(CPACK_DEBIAN_SERVIDOR_PACKAGE_CONTROL_EXTRA
    "${CMAKE_CURRENT_LIST_DIR}/debian/servidor/postinst;${CMAKE_CURRENT_LIST_DIR}/debian/servidor/prerm;${CMAKE_CURRENT_LIST_DIR}/debian/servidor/postrm;${CMAKE_CURRENT_LIST_DIR}/debian/servidor/conffiles")

set(CPACK_DEBIAN_CLIENTE_PACKAGE_NAME krv-cliente)
set(CPACK_COMPONENT_CLIENTE_DESCRIPTION
    "Cliente KRV52000 (Pedido por Requisição)\n krv-host com o módulo de requisições e pedidos, krv-call e krv-report.")
# The host starts its own krv-server only when it is given no --server.
set(CPACK_DEBIAN_CLIENTE_PACKAGE_SUGGESTS "krv-servidor, qt6-translations-l10n")
set(CPACK_DEBIAN_CLIENTE_PACKAGE_CONTROL_EXTRA "${CMAKE_CURRENT_LIST_DIR}/debian/cliente/postinst")

include(CPack)
