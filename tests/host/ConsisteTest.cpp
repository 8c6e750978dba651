#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "core/Errors.h"
#include "host/screens/Consiste.h"
#include "support/ScriptedHostUi.h"

using namespace krv;
using namespace krv::host;

namespace {

std::string serverErrorOf(const Variant& result, bool raise = true) {
    try {
        CheckResultServ(result, raise, 0);
    } catch (const EServerError& e) {
        return e.what();
    }
    return "<no error>";
}

}  // namespace

TEST(Consiste, CheckResultServReturnsPayloadRaisesFailuresAndRejectsMalformedOutcomes) {
    EXPECT_EQ(CheckResultServ(Variant::Array{true, "123"}, true, 0), Variant("123"));
    EXPECT_EQ(CheckResultServ(Variant::Array{true, Variant()}, true, 0), Variant());
    const Variant listPayload = Variant::Array{"7", "x"};
    EXPECT_EQ(CheckResultServ(Variant::Array{true, listPayload}, true, 0), listPayload);

    EXPECT_EQ(serverErrorOf(Variant::Array{false, "ERR_JA_EXISTE_PED"}), "ERR_JA_EXISTE_PED");

    const std::string invalid = "Resposta inválida do servidor";
    EXPECT_EQ(serverErrorOf(Variant()), invalid);
    EXPECT_EQ(serverErrorOf(Variant("ok")), invalid);
    EXPECT_EQ(serverErrorOf(Variant::Array{}), invalid);
    EXPECT_EQ(serverErrorOf(Variant::Array{true}), invalid);
    EXPECT_EQ(serverErrorOf(Variant::Array{true, 1, 2}), invalid);
    EXPECT_EQ(serverErrorOf(Variant::Array{"S", 1}), invalid);  // a truthy text is no bool
    EXPECT_EQ(serverErrorOf(Variant::Array{1, "payload"}), invalid);
    EXPECT_EQ(serverErrorOf(Variant("x"), false), invalid);  // malformed raises also without `raise`
}

TEST(Consiste, CheckResultServWithoutRaiseShowsTheFailureAndEndsTheAction) {
    test::ScriptedHostUi ui;
    EXPECT_THROW(CheckResultServ(Variant::Array{false, "Falhou"}, false, 0), EAbort);
    ASSERT_EQ(ui.errors(), QStringList{"Falhou"});
    EXPECT_EQ(CheckResultServ(Variant::Array{true, 5}, false, 0), Variant(5));
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST(Consiste, AjustaPadsDigitCodesToFourAndOtherwiseTrimsAndUpperCases) {
    struct Case {
        const char* typed;
        const char* expected;
    };
    const Case cases[] = {
        {"1", "0001"},      {" 0001", "0001"}, {"12", "0012"},     {"0001 ", "0001"}, {"1234", "1234"},
        {"12345", "12345"}, {"ab1", "AB1"},    {" sp01 ", "SP01"}, {"", ""},          {"   ", ""},
        {"1 2", "1 2"},     {"-1", "-1"},      {"１", "１"},  // full-width digit is no ASCII digit
    };
    for (int kind : {ajRequisitionBranch, ajOrderBranch, ajService})
        for (const Case& c : cases)
            EXPECT_EQ(Ajusta(QString::fromUtf8(c.typed), kind), QString::fromUtf8(c.expected))
                << "typed '" << c.typed << "' kind " << kind;
    EXPECT_THROW(Ajusta("1", 3), std::invalid_argument);
}

TEST(Consiste, NomeSemanaNamesEveryWeekdayInPortuguese) {
    // 2026-12-06 is a Sunday.
    const QStringList expected = {"Domingo", "Segunda", "Terça", "Quarta", "Quinta", "Sexta", "Sábado"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(NomeSemana(QDate(2026, 12, 6 + i)), expected[i]);
        EXPECT_EQ(NomeSemana(DateTime::fromParts(2026, 12, 6 + i, 23, 59, 59)), expected[i]);
    }
    EXPECT_EQ(NomeSemana(QDate(2024, 2, 29)), "Quinta");
    EXPECT_EQ(NomeSemana(QDate(1969, 12, 31)), "Quarta");  // before the epoch
    EXPECT_THROW(NomeSemana(QDate()), std::invalid_argument);
}

TEST(Consiste, IifPicksByConditionForTextsAndVariants) {
    const QString keys = "_0001_0002_";
    EXPECT_EQ(iif(true, "T", keys), "T");
    EXPECT_EQ(iif(false, "T", keys), keys);
    EXPECT_EQ(iif(true, "S", "N"), "S");
    EXPECT_EQ(iif(false, "S", "N"), "N");
    EXPECT_EQ(iif(true, Variant(1), Variant("x")), Variant(1));
    EXPECT_EQ(iif(false, Variant(1), Variant("x")), Variant("x"));
}

TEST(Consiste, EmptyStringIsTrueOnlyForEmptyOrBlankText) {
    EXPECT_TRUE(EmptyString(""));
    EXPECT_TRUE(EmptyString(QString()));
    EXPECT_TRUE(EmptyString("    "));
    EXPECT_TRUE(EmptyString(" \t "));
    EXPECT_FALSE(EmptyString(" a "));
    EXPECT_FALSE(EmptyString("0"));
}

TEST(Consiste, MensErroShowsOnceAndThenEndsTheActionOnlyWhenAsked) {
    test::ScriptedHostUi ui;
    bool after = false;
    EXPECT_THROW(
        {
            MensErro("Filial deve ser informada.", true);
            after = true;
        },
        EAbort);
    EXPECT_FALSE(after);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], (test::ScriptedHostUi::Message{MsgDlgType::Error, "Filial deve ser informada.", mbOK}));

    EXPECT_NO_THROW(MensErro("Só aviso", false));
    EXPECT_EQ(ui.errors(), (QStringList{"Filial deve ser informada.", "Só aviso"}));
}

TEST(Consiste, SetChildEnabledSwitchesTheGroupsOwnControlsOnly) {
    QWidget window;
    auto* group = new QGroupBox("Serviço", &window);
    auto* check = new QCheckBox("Todos", group);
    auto* edit = new QLineEdit(group);
    auto* outside = new QLineEdit(&window);

    SetChildEnabled(group, false);
    EXPECT_TRUE(group->isEnabled());
    EXPECT_FALSE(check->isEnabled());
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_TRUE(outside->isEnabled());

    SetChildEnabled(group, true);
    EXPECT_TRUE(check->isEnabled());
    EXPECT_TRUE(edit->isEnabled());
    SetChildEnabled(nullptr, true);  // no group, nothing to do
}
