#include <gtest/gtest.h>

#include "call/CallReport.h"
#include "core/DataPacket.h"

using namespace krv;
using namespace krv::call;

namespace {

Variant services() {
    DataPacket packet;
    packet.fields = {{"CDSERVFILI", FieldType::Fixed, 5},
                     {"NMSERVICO", FieldType::String, 30},
                     {"QTREFEICAO", FieldType::Float, 0},
                     {"DTINICIO", FieldType::DateTime, 0}};
    packet.rows = {{"001", "Almoço", 120.5, DateTime::fromDate(2026, 12, 7)},
                   {"00002", "Jantar\tnoturno", nullptr, DateTime::fromParts(2026, 12, 8, 18, 30, 0)}};
    return Variant(std::move(packet));
}

}  // namespace

TEST(CallReport, PrintsPacketsAsAlignedTablesAndTheArgumentsAfterTheCall) {
    const CallReport report = reportOutcome(Variant(Variant::Array{true, services()}),
                                            {"T", Variant(Variant::Array{"17", 2, nullptr})}, Output::Table);
    EXPECT_EQ(report.status, kExitOk);
    EXPECT_EQ(report.out,
              "CDSERVFILI  NMSERVICO       QTREFEICAO  DTINICIO\n"
              "----------  --------------  ----------  -------------------\n"
              "001         Almoço               120.5  2026-12-07\n"
              "00002       Jantar noturno              2026-12-08 18:30:00\n"
              "(2 linhas)\n"
              "arg 1: T\n"
              "arg 2: [\"17\", 2, null]\n");
    EXPECT_TRUE(report.err.empty());

    const CallReport scalar = reportOutcome(Variant(Variant::Array{true, 2.5}), {}, Output::Table);
    EXPECT_EQ(scalar.out, "2.5\n");
    const CallReport nothing = reportOutcome(Variant(Variant::Array{true, nullptr}), {"x"}, Output::Table);
    EXPECT_EQ(nothing.out, "arg 1: x\n");
}

TEST(CallReport, PrintsJsonWithEscapedText) {
    const CallReport report =
        reportOutcome(Variant(Variant::Array{true, services()}),
                      {"a\"b\\c\nd\x01", DateTime::fromDate(2026, 1, 2), 3.0 / 0.0}, Output::Json);
    EXPECT_EQ(report.out,
              "{\"result\":{\"fields\":[{\"name\":\"CDSERVFILI\",\"type\":\"fixed\",\"size\":5},"
              "{\"name\":\"NMSERVICO\",\"type\":\"string\",\"size\":30},"
              "{\"name\":\"QTREFEICAO\",\"type\":\"float\",\"size\":0},"
              "{\"name\":\"DTINICIO\",\"type\":\"datetime\",\"size\":0}],\"rows\":["
              "{\"CDSERVFILI\":\"001\",\"NMSERVICO\":\"Almoço\",\"QTREFEICAO\":120.5,\"DTINICIO\":\"2026-12-07\"},"
              "{\"CDSERVFILI\":\"00002\",\"NMSERVICO\":\"Jantar\\tnoturno\",\"QTREFEICAO\":null,"
              "\"DTINICIO\":\"2026-12-08 18:30:00\"}]},"
              "\"args\":[\"a\\\"b\\\\c\\nd\\u0001\",\"2026-01-02\",null]}\n");

    // A byte that is not UTF-8 stands for itself as U+FFFD: the rest of the output stays JSON.
    EXPECT_EQ(reportOutcome(Variant(Variant::Array{true, "a\xFF" "b"}), {}, Output::Json).out,
              "{\"result\":\"a\xEF\xBF\xBD" "b\",\"args\":[]}\n");
}

TEST(CallReport, SendsTheMethodsFailureToStandardError) {
    const CallReport failed = reportOutcome(Variant(Variant::Array{false, "ERR_JA_EXISTE_PED"}), {"x"}, Output::Table);
    EXPECT_EQ(failed.status, kExitServerFailure);
    EXPECT_EQ(failed.err, "ERR_JA_EXISTE_PED\n");
    EXPECT_TRUE(failed.out.empty());

    // A result outside the [ok, payload] convention is shown whole rather than guessed at.
    const CallReport odd = reportOutcome(Variant(Variant::Array{"17"}), {}, Output::Table);
    EXPECT_EQ(odd.status, kExitOk);
    EXPECT_EQ(odd.out, "[\"17\"]\n");
}

TEST(CallReport, PrintsAPacketAloneAsCsvForABrazilianSpreadsheet) {
    DataPacket packet;
    packet.fields = {{"NMPRODUTO", FieldType::String, 60},
                     {"QTPREVISTA", FieldType::Float, 0},
                     {"NRSALDO", FieldType::Integer, 0},
                     {"DTPREVISAO", FieldType::DateTime, 0}};
    packet.rows = {
        {"Arroz; tipo 1", 1234.5, int64_t(-3), DateTime::fromDate(2026, 3, 2)},
        {"Feijão \"carioca\"\nnovo", -0.125, nullptr, DateTime::fromParts(2026, 12, 31, 18, 5, 0)},
        // A name the spreadsheet would run as a formula stays a text.
        {"=HYPERLINK(\"x\")", 1e-7, int64_t(0), nullptr},
        {"-fim", 0.0 / 0.0, int64_t(1), nullptr},
    };
    const CallReport report = reportOutcome(Variant(Variant::Array{true, Variant(packet)}), {"0007"}, Output::Csv);
    EXPECT_EQ(report.status, kExitOk);
    EXPECT_EQ(report.out,
              "\xEF\xBB\xBF"
              "NMPRODUTO;QTPREVISTA;NRSALDO;DTPREVISAO\r\n"
              "\"Arroz; tipo 1\";1234,5;-3;02/03/2026\r\n"
              "\"Feijão \"\"carioca\"\"\nnovo\";-0,125;;31/12/2026 18:05:00\r\n"
              "\"'=HYPERLINK(\"\"x\"\")\";0,0000001;0;\r\n"
              "'-fim;;1;\r\n");

    // Anything but a packet has no columns: it prints as a table would, arguments and all.
    EXPECT_EQ(reportOutcome(Variant(Variant::Array{true, nullptr}), {"x"}, Output::Csv).out, "arg 1: x\n");
}
