#include "consiste.h"
#include "errors.h"
#include "messages.h"
#include "params.h"
#include "recordingui.h"

#include <QGroupBox>
#include <ctime>
#include <QLineEdit>
#include <gtest/gtest.h>

namespace {
struct AjustaCase
{
    const char *text;
    int width;
    const char *expected;
};

TEST(FieldUtilities, AjustaPadsCodesToTheirWidth)
{
    const AjustaCase cases[] = {
        {"1", 4, "0001"},     {"12", 4, "0012"},  {"0012", 4, "0012"}, {"", 4, "0000"},
        {"3", 2, "03"},       {"1", 2, "01"},     {" 7 ", 4, "0007"},  {"12345", 4, "2345"},
        {"AB", 4, "00AB"},    {"x", 0, ""},
    };
    for (const AjustaCase &c : cases) {
        EXPECT_EQ(Ajusta(QString::fromUtf8(c.text), c.width), QString::fromUtf8(c.expected))
            << c.text << " width " << c.width;
    }
}

TEST(FieldUtilities, EmptyStringIsTrueForBlanksOnly)
{
    EXPECT_TRUE(EmptyString(QString()));
    EXPECT_TRUE(EmptyString(QStringLiteral("")));
    EXPECT_TRUE(EmptyString(QStringLiteral("    ")));
    EXPECT_FALSE(EmptyString(QStringLiteral(" 1 ")));
    EXPECT_FALSE(EmptyString(QStringLiteral("\t"))); // only blanks count as empty
}

TEST(FieldUtilities, HorarioOkAcceptsTimesOfDayOnly)
{
    const std::pair<const char *, bool> cases[] = {
        {"0000", true},  {"2359", true},  {"1430", true},  {"2400", false}, {"2575", false},
        {"0960", false}, {"9999", false}, {"143", false},  {"", false},     {"14:30", false},
        {"1a30", false}, {" 930", false}, {"-130", false},
    };
    for (const auto &[text, ok] : cases)
        EXPECT_EQ(HorarioOk(QString::fromLatin1(text)), ok) << text;
}

TEST(FieldUtilities, ReplicateAndIif)
{
    EXPECT_EQ(Replicate(QStringLiteral("Z"), 7), QStringLiteral("ZZZZZZZ"));
    EXPECT_EQ(Replicate(QStringLiteral("Z"), 0), QString());
    EXPECT_EQ(Replicate(QStringLiteral("Z"), -3), QString());
    EXPECT_EQ(iif(true, QStringLiteral("S"), QStringLiteral("N")), QStringLiteral("S"));
    EXPECT_EQ(iif(false, QStringLiteral("S"), QStringLiteral("N")), QStringLiteral("N"));
}

TEST(FieldUtilities, FormatFillsEachPlaceholderInOrder)
{
    const QString pattern = QStringLiteral("código '%s' no diretório '%s'.");
    EXPECT_EQ(Format(pattern, {QStringLiteral("Vnd025"), QStringLiteral("/r")}),
              QStringLiteral("código 'Vnd025' no diretório '/r'."));
    EXPECT_EQ(Format(pattern, {QStringLiteral("A")}), QStringLiteral("código 'A' no diretório ''."));
    EXPECT_EQ(Format(QStringLiteral("100%"), {}), QStringLiteral("100%"));
}

TEST(FieldUtilities, MensErroShowsTheTextThenAborts)
{
    RecordingUi ui;
    ScopedUi scope(ui);
    EXPECT_THROW(MensErro(QStringLiteral("Filial não cadastrada."), true), EAbort);
    EXPECT_NO_THROW(MensErro(QStringLiteral("aviso"), false));
    EXPECT_EQ(ui.messages, (QStringList{QStringLiteral("Filial não cadastrada."), QStringLiteral("aviso")}));
}

TEST(FieldUtilities, SetChildEnabledLeavesTheContainerAlone)
{
    QGroupBox box;
    auto *a = new QLineEdit(&box);
    auto *b = new QLineEdit(&box);
    box.setEnabled(true);
    SetChildEnabled(&box, false);
    EXPECT_TRUE(box.isEnabled());
    EXPECT_FALSE(a->isEnabled());
    EXPECT_FALSE(b->isEnabled());
    SetChildEnabled(&box, true);
    EXPECT_TRUE(a->isEnabled());
}

TEST(MessageCatalogue, KeepsLeadingBlanksAndAnswersMissingKeysWithTheKey)
{
    TMessages messages;
    messages.Load(QStringLiteral("Hora_Inv| não é uma hora válida.\r\n"
                                 "Loja|Loja\n"
                                 "Titulo|a|b\n"
                                 "\n"
                                 "semBarra\n"
                                 "|semChave\n"));
    EXPECT_EQ(messages.Msg(QStringLiteral("Hora_Inv")), QStringLiteral(" não é uma hora válida."));
    EXPECT_EQ(messages.Msg(QStringLiteral("Loja")), QStringLiteral("Loja"));
    EXPECT_EQ(messages.Msg(QStringLiteral("Titulo")), QStringLiteral("a|b")); // text runs to the line end
    EXPECT_EQ(messages.Msg(QStringLiteral("FILIAL")), QStringLiteral("FILIAL"));
    EXPECT_EQ(messages.count(), 3);
    EXPECT_THROW(messages.LoadFromFile(QStringLiteral("/nonexistent/catalogue.txt")), EHostError);
}
} // namespace

namespace {
TEST(DateConversion, PtBrTextsAndTheDayDaylightSavingStarted)
{
    EXPECT_EQ(StrToDateTime(QStringLiteral("01/12/2026 14:30")), calendarDateTime(QDate(2026, 12, 1), QTime(14, 30)));
    EXPECT_EQ(StrToDateTime(QStringLiteral(" 02/12/2026 ")).date(), QDate(2026, 12, 2));
    for (const char *bad : {"31/02/2026 10:00", "00/00/0000", "01/12/2026 24:00", "2026-12-01", "", "abc"})
        EXPECT_THROW(StrToDateTime(QString::fromLatin1(bad)), EConvertError) << bad;

    // In São Paulo daylight saving began at midnight on 04/11/2018: the day itself is still a date.
    const QByteArray previous = qgetenv("TZ");
    qputenv("TZ", "America/Sao_Paulo");
    tzset();
    const QDateTime start = StrToDateTime(QStringLiteral("04/11/2018"));
    EXPECT_TRUE(start.isValid());
    EXPECT_EQ(start.date(), QDate(2018, 11, 4));
    if (previous.isEmpty())
        qunsetenv("TZ");
    else
        qputenv("TZ", previous);
    tzset();
}
} // namespace
