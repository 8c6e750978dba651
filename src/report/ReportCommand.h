#pragma once
#include <QDate>
#include <QString>
#include <QStringList>
#include <stdexcept>

namespace krv::report {

// The command line cannot be obeyed; the text says why (exit status 2).
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The filter of the report as the screen would hold it, and where the file goes.
struct ReportCommand {
    QString host;
    int port = 0;
    QString token;
    QString password;  // the operator logs in with it when set
    bool tls = false;
    QString caFile;
    QString filial;
    QString operador = "krv-report";
    QDate de, ate;
    QString servicos = "T", turnos = "T", agrupamentos = "T";
    QString ordena = "C";
    int nivel = 0;
    bool cardapio = false, quebraPagina = false, resumo = false;
    int linhasBranco = 0;
    QString saida;
    // "pedidos" (KRV521) or "separacao" (KRV522) instead of the requisition report.
    QString documento;
    QString shown;  // --help or --version: print this and write nothing

    bool csv() const;
    // The report code the command prints.
    QString reportCode() const;
};

// `arguments`: argv, program name first. Throws UsageError.
ReportCommand ParseReportCommand(const QStringList& arguments);

}  // namespace krv::report
