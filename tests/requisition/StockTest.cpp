// "Saldo da Filial": the screen's branch's products on a day, read again when the day
// changes, and the counts typed stored as counted on that day.
#include <QDialog>
#include <QTableWidget>
#include <map>

#include "requisition/ScreenFixture.h"
#include "requisition/TfrmPedReq.h"
#include "requisition/TfrmSaldoFilial.h"
#include "rpc/Dispatcher.h"

using namespace krv;
using krv::requisition::TfrmSaldoFilial;

namespace {

class Stock : public test::ShownScreen {
protected:
    Stock() {
        stock = DataPacket{{{"CDPRODUTO", FieldType::String, 10},
                            {"NMPRODUTO", FieldType::String, 60},
                            {"SGUNIDADE", FieldType::String, 4},
                            {"NRDIASVALIDADE", FieldType::Integer, 0},
                            {"DTCONTAGEM", FieldType::DateTime, 0},
                            {"QTCONTAGEM", FieldType::Float, 0},
                            {"QTSALDO", FieldType::Float, 0}},
                           {}};
        stock.rows = {{"0101000001", "Leite integral", "L", int64_t(5), DateTime::fromDate(2026, 12, 5), 10.0, 4.54},
                      {"0101000002", "Arroz", "KG", int64_t(365), Variant(), Variant(), 0.0},
                      {"0101000003", "Alface", "UN", int64_t(2), Variant(), Variant(), 0.0}};
    }
    // The arguments of every call of `method`, in order.
    std::vector<std::vector<Variant>> argsOf(const std::string& method) const {
        std::vector<std::vector<Variant>> args;
        for (const auto& call : server.calls())
            if (call.method == method) args.push_back(call.args);
        return args;
    }
};

// What the window calls, from opening to closing, for what is typed and the server says.
TEST_F(Stock, ReadsTheDayAndStoresTheCountsTypedOnIt) {
    const DateTime processing = processingDate, before = DateTime::fromDate(2026, 12, 6);
    DataPacket two{{{"CDPRODUTO", FieldType::String, 10},
                    {"DTCONTAGEM", FieldType::DateTime, 0},
                    {"QTESTOQUE", FieldType::Float, 0}},
                   {}};
    DataPacket zero = two;
    two.rows = {{"0101000001", before, 12.5}, {"0101000003", before, 0.0}};
    zero.rows = {{"0101000002", processing, 0.0}};
    struct Case {
        const char* what;
        bool dayBefore;
        std::map<int, QString> typed;
        const char* refusal;
        std::vector<Variant> saved;  // GravaContagemEstoque's arguments; empty: not called
        const char* shown;           // status when saved, else the error
    };
    const Case cases[] = {
        {"two counts on the day before",
         true,
         {{0, "12,5"}, {2, "0"}},
         nullptr,
         {"0001", Variant(two), "ADMIN"},
         "2 contagens gravadas"},
        {"a count of zero on the processing day",
         false,
         {{1, "0.000"}},
         nullptr,
         {"0001", Variant(zero), "ADMIN"},
         "1 contagem gravada"},
        {"nothing typed", false, {}, nullptr, {}, "Digite a contagem de algum produto para gravar."},
        {"a unit typed",
         false,
         {{0, "10 L"}},
         nullptr,
         {},
         "Quantidade inválida para Leite integral: \"10 L\". Informe um número maior ou igual a zero, com até 6 "
         "decimais."},
        {"refused",
         false,
         {{1, "3"}},
         "Contagem de dia futuro não é aceita.",
         {},
         "Contagem de dia futuro não é aceita."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server.on("KRV52000.rdmPedReq", "GravaContagemEstoque", 3, [&](std::vector<Variant>& args) -> Variant {
            if (c.refusal) throw rpc::MethodFailure(c.refusal);
            return Variant(Variant::Array{int64_t(args[1].packet().rows.size())});
        });
        server.clearCalls();
        ui.messages.clear();
        ui.statuses.clear();
        std::vector<std::vector<Variant>> reads;
        ui.answerDialog([&](QDialog& dialog) {
            auto& saldo = dynamic_cast<TfrmSaldoFilial&>(dialog);
            saldo.show();  // as exec shows it: an error gives the focus to its control
            EXPECT_EQ(saldo.dbgSaldo->item(0, 4)->text(), "10,000") << "the last count";
            EXPECT_EQ(saldo.dbgSaldo->item(0, 5)->text(), "05/12/2026");
            if (c.dayBefore) saldo.depData->setDate(QDate(2026, 12, 6));
            for (const auto& [row, text] : c.typed)
                saldo.dbgSaldo->item(row, saldo.dbgSaldo->columnCount() - 1)->setText(text);
            server.clearCalls();
            saldo.btnGravar->click();
            reads = argsOf("GetSaldoFilial");
            return int(QDialog::Rejected);  // Esc
        });
        form->sbtSaldoFilial->click();
        EXPECT_TRUE(ui.allAnswersUsed());
        const DateTime day = c.dayBefore ? before : processing;
        if (c.saved.empty()) {
            EXPECT_EQ(ui.errors(), QStringList{QString::fromUtf8(c.shown)});
            EXPECT_TRUE(reads.empty()) << "nothing stored, nothing read again";
        } else {
            EXPECT_EQ(argsOf("GravaContagemEstoque"), std::vector<std::vector<Variant>>{c.saved});
            EXPECT_EQ(reads, (std::vector<std::vector<Variant>>{{"0001", day}})) << "read again after saving";
            EXPECT_EQ(ui.statuses, QStringList{QString::fromUtf8(c.shown)});
            EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("\n").toStdString();
        }
    }
}

// The window opens on the processing date of the screen's branch and reads each day chosen.
TEST_F(Stock, OpensOnTheProcessingDateAndReadsEachDayChosen) {
    ui.answerDialog([&](QDialog& dialog) {
        auto& saldo = dynamic_cast<TfrmSaldoFilial&>(dialog);
        saldo.depData->setDate(QDate(2026, 12, 1));
        saldo.depData->setDate(QDate(2026, 12, 31));
        renderPng(&saldo, "TfrmSaldoFilial");
        return int(QDialog::Rejected);
    });
    form->sbtSaldoFilial->click();
    EXPECT_EQ(argsOf("GetSaldoFilial"),
              (std::vector<std::vector<Variant>>{{"0001", processingDate},
                                                 {"0001", DateTime::fromDate(2026, 12, 1)},
                                                 {"0001", DateTime::fromDate(2026, 12, 31)}}));
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("\n").toStdString();

    // With no branch, the window does not open.
    form->medCdFilial->clear();
    server.clearCalls();
    form->sbtSaldoFilial->click();
    EXPECT_TRUE(methodsOf("GetSaldoFilial").empty());
    EXPECT_EQ(ui.errors().size(), 1);
}

}  // namespace
