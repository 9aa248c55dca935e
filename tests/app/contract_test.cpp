#include "AppTestSupport.h"
#include "Opening.h"

#include <gtest/gtest.h>

using namespace maj;

namespace {

struct Core
{
    test::RecordingUi ui;
    test::FixedClock clock;
    Form1Core f{ui, clock};
    Core() { setRunSettings(f); }
};

// Fifty-eight lines joined by CR LF, without a final line end; each starts with two blanks, line
// ten with sixteen, and holds text.
TEST(Contract, FiftyEightIndentedLinesJoinedByCrLf)
{
    Core c;
    convention(c.f);
    const QString& text = c.f.window.txtconvention;
    EXPECT_EQ(text.count(QLatin1Char('\n')), 57);
    EXPECT_EQ(text.count(QLatin1Char('\r')), 57);
    const QStringList lines = text.split("\r\n");
    ASSERT_EQ(lines.size(), 58);
    for (int i = 0; i < lines.size(); ++i) {
        qsizetype blanks = 0;
        while (blanks < lines[i].size() && lines[i][blanks] == u' ')
            ++blanks;
        EXPECT_EQ(blanks, i + 1 == 10 ? 16 : 2) << "line " << i + 1 << ": " << lines[i].toStdString();
        EXPECT_GT(lines[i].size(), blanks) << "line " << i + 1 << " holds text";
    }
    EXPECT_EQ(lines[0], "  CONTRAT DE MAINTENANCE");
    EXPECT_TRUE(c.ui.messages.isEmpty());
}

// The lines take the run's settings, not fixed texts.
TEST(Contract, JoinedLinesTakeTheRunSettings)
{
    RunSettings s;
    s.VersionCaption = "Version 9.1.2";
    s.HourlyRate = 70;
    s.HourlyRateInclVat = 84.7;
    s.TravelFee = 45;
    s.AnnualFee = 1200;
    s.ExtraUserFee = 350;
    const QStringList lines = conventionLines(s);
    ASSERT_EQ(lines.size(), 58);
    EXPECT_EQ(lines.at(13), "  Le logiciel a  les coordonnées suivantes :Version 9.1.2");
    EXPECT_EQ(lines.at(27),
              QStringLiteral("  Cette intervention sera facturée à l'utilisateur au tarif horaire de 70 EUR "
                             " + TVA soit 84,7 EUR (+ 1 forfait de 45 EUR de déplacement)"));
    EXPECT_EQ(lines.at(31),
              QStringLiteral(
                  "  Cette formation sera facturée à l'utilisateur au tarif horaire de 70 EUR  + TVA soit 84,7 EUR."));
    // No digit grouping, as the old conversions.
    EXPECT_EQ(lines.at(40), QStringLiteral("  Ce prix est fixé pour la présente année à 1200 EUR  TTC. (+ 350 EUR par "
                                           "utilisateur supplémentaire)"));
}

TEST(Contract, ReplacesTheWholeTextAndTellsTheWindow)
{
    Core c;
    c.f.window.txtconvention = "ancien texte";
    int changed = 0;
    QObject::connect(&c.f.window, &WindowModel::changed, [&changed] { ++changed; });
    convention(c.f);
    EXPECT_TRUE(c.f.window.txtconvention.startsWith("  CONTRAT DE MAINTENANCE\r\n"));
    EXPECT_FALSE(c.f.window.txtconvention.contains("ancien texte"));
    EXPECT_GE(changed, 1);
    // Built again, it is the same text: nothing is appended to the previous one.
    const QString first = c.f.window.txtconvention;
    convention(c.f);
    EXPECT_EQ(c.f.window.txtconvention, first);
}

} // namespace
