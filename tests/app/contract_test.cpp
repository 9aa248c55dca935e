#include "AppTestSupport.h"
#include "app/Opening.h"

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

QStringList contractLines(Form1Core& f)
{
    convention(f);
    return f.window.txtconvention.split(QStringLiteral("\r\n"));
}

TEST(Contract, IsFiftyEightLinesJoinedByCrLfWithoutFinalLineEnd)
{
    Core c;
    convention(c.f);
    const QString& text = c.f.window.txtconvention;
    EXPECT_EQ(text.count(QStringLiteral("\r\n")), 57);
    EXPECT_EQ(text.count(QLatin1Char('\n')), 57) << "no line end other than CR LF";
    EXPECT_EQ(text.count(QLatin1Char('\r')), 57);
    EXPECT_FALSE(text.endsWith(QLatin1Char('\n')));
    EXPECT_EQ(text.split(QStringLiteral("\r\n")).size(), 58);
    EXPECT_TRUE(c.ui.messages.isEmpty());
}

TEST(Contract, LinesStartWithTwoBlanksExceptLineTenWithSixteen)
{
    Core c;
    const QStringList lines = contractLines(c.f);
    ASSERT_EQ(lines.size(), 58);
    for (int i = 0; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        qsizetype blanks = 0;
        while (blanks < line.size() && line.at(blanks) == QLatin1Char(' '))
            ++blanks;
        EXPECT_EQ(blanks, i + 1 == 10 ? 16 : 2) << "line " << i + 1 << ": " << line.toStdString();
        EXPECT_GT(line.size(), blanks) << "line " << i + 1 << " holds text";
    }
}

// The lines given word for word, and the lines that join the settings, under Belgian French settings.
TEST(Contract, FixedAndJoinedLinesReadExactly)
{
    const struct
    {
        int line;
        const char* text;
    } expected[] = {
        {1, "  CONTRAT DE MAINTENANCE"},
        {2, "  Entre:"},
        {3, "  Le dealer Norvix"},
        {5, "  Ci dessous dénommé 'le vendeur'."},
        {6, "  Et:"},
        {7, "  l 'utilisateur du logiciel Praxidome qui en cliquant sur le bouton ' j'accepte les termes..' ci-dessous "
            "marque son accord avec les clauses du présent contrat"},
        {8, "  Ci dessous dénommé  'l'utilisateur' "},
        {9, "  Concerne:    - gestion des droits et des obligations de l'utilisateur et du producteur du  logiciel de "
            "gestion de dossiers patients en art dentaire, PraxiDome ."},
        {10,
         "                - maintenance : appui aux utilisateurs, offres de formations, mises à jour et entretiens"},
        {11, "  IL EST EXPOSE ET CONVENU:"},
        {12, "  Il est exposé"},
        {14, "  Le logiciel a  les coordonnées suivantes :Version 8.x.x"},
        {20, "  Il a été convenu"},
        {21, "  Article I: objet"},
        {28, "  Cette intervention sera facturée à l'utilisateur au tarif horaire de 67 EUR  + TVA soit 81,07 EUR (+ 1 "
             "forfait de 40 EUR de déplacement)"},
        {32, "  Cette formation sera facturée à l'utilisateur au tarif horaire de 67 EUR  + TVA soit 81,07 EUR."},
        {34, "  Article 2 durée"},
        {38, "  Article 3: Les prix"},
        {41, "  Ce prix est fixé pour la présente année à 640 EUR  TTC. (+ 640 EUR par utilisateur supplémentaire)"},
        {43, "  Article 4: Paiement"},
        {46, "  Article 5: Conditions générales"},
        {49, "  Article 6: Résiliation anticipée:"},
        {54, "  Article 7: Compétence"},
        {57, "  SIGNATURE"},
        {58,
         "  Cliquer sur le bouton ci-dessous pour poursuivre la mise à jour équivaut à une signature de la présente "
         "convention."},
    };
    ASSERT_EQ(QLocale::system().decimalPoint(), QStringLiteral(",")) << "the tests run under fr_BE";
    Core c;
    const QStringList lines = contractLines(c.f);
    ASSERT_EQ(lines.size(), 58);
    for (const auto& e : expected)
        EXPECT_EQ(lines.at(e.line - 1), QString::fromUtf8(e.text)) << "line " << e.line;
}

// The lines take the run's settings, not fixed texts.
TEST(Contract, JoinedLinesTakeTheRunSettings)
{
    RunSettings s;
    s.VersionCaption = QStringLiteral("Version 9.1.2");
    s.HourlyRate = 70;
    s.HourlyRateInclVat = 84.7;
    s.TravelFee = 45;
    s.AnnualFee = 1200;
    s.ExtraUserFee = 350;
    const QStringList lines = conventionLines(s);
    ASSERT_EQ(lines.size(), 58);
    EXPECT_EQ(lines.at(13), QStringLiteral("  Le logiciel a  les coordonnées suivantes :Version 9.1.2"));
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
    c.f.window.txtconvention = QStringLiteral("ancien texte");
    int changed = 0;
    QObject::connect(&c.f.window, &WindowModel::changed, [&changed] { ++changed; });
    convention(c.f);
    EXPECT_TRUE(c.f.window.txtconvention.startsWith(QStringLiteral("  CONTRAT DE MAINTENANCE\r\n")));
    EXPECT_FALSE(c.f.window.txtconvention.contains(QStringLiteral("ancien texte")));
    EXPECT_GE(changed, 1);
    // Built again, it is the same text: nothing is appended to the previous one.
    const QString first = c.f.window.txtconvention;
    convention(c.f);
    EXPECT_EQ(c.f.window.txtconvention, first);
}

} // namespace
