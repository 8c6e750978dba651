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
                                            {"T", Variant(Variant::Array{"17", 2, nullptr})}, false);
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

    const CallReport scalar = reportOutcome(Variant(Variant::Array{true, 2.5}), {}, false);
    EXPECT_EQ(scalar.out, "2.5\n");
    const CallReport nothing = reportOutcome(Variant(Variant::Array{true, nullptr}), {"x"}, false);
    EXPECT_EQ(nothing.out, "arg 1: x\n");
}

TEST(CallReport, PrintsJsonWithEscapedText) {
    const CallReport report = reportOutcome(Variant(Variant::Array{true, services()}),
                                            {"a\"b\\c\nd\x01", DateTime::fromDate(2026, 1, 2), 3.0 / 0.0}, true);
    EXPECT_EQ(
        report.out,
        "{\"result\": {\"fields\": [{\"name\": \"CDSERVFILI\", \"type\": \"fixed\", \"size\": 5}, "
        "{\"name\": \"NMSERVICO\", \"type\": \"string\", \"size\": 30}, "
        "{\"name\": \"QTREFEICAO\", \"type\": \"float\", \"size\": 0}, "
        "{\"name\": \"DTINICIO\", \"type\": \"datetime\", \"size\": 0}], \"rows\": ["
        "{\"CDSERVFILI\": \"001\", \"NMSERVICO\": \"Almoço\", \"QTREFEICAO\": 120.5, \"DTINICIO\": \"2026-12-07\"}, "
        "{\"CDSERVFILI\": \"00002\", \"NMSERVICO\": \"Jantar\\tnoturno\", \"QTREFEICAO\": null, "
        "\"DTINICIO\": \"2026-12-08 18:30:00\"}]}, "
        "\"args\": [\"a\\\"b\\\\c\\nd\\u0001\", \"2026-01-02\", null]}\n");
}

TEST(CallReport, SendsTheMethodsFailureToStandardError) {
    const CallReport failed = reportOutcome(Variant(Variant::Array{false, "ERR_JA_EXISTE_PED"}), {"x"}, false);
    EXPECT_EQ(failed.status, kExitServerFailure);
    EXPECT_EQ(failed.err, "ERR_JA_EXISTE_PED\n");
    EXPECT_TRUE(failed.out.empty());

    // A result outside the [ok, payload] convention is shown whole rather than guessed at.
    const CallReport odd = reportOutcome(Variant(Variant::Array{"17"}), {}, false);
    EXPECT_EQ(odd.status, kExitOk);
    EXPECT_EQ(odd.out, "[\"17\"]\n");
}
