#include "SampleDetail.h"

#include <QSet>

#include <array>
#include <cmath>

namespace maj::sample {

using namespace detail;

namespace {

// Columns of the tariff code record.
enum Column
{
    Abreviation,
    CodeInami,
    Libelle,
    Honoraire,
    Remboursement,
    TicketModerateur,
    Categorie,
    LibellePerso,
    Couleur,
    HonoraireBim,
    RemboursementBim,
    TicketBim,
    AgeMin,
    AgeMax,
    Dents,
    LettreCle,
    NotePerso,
    Favori,
    OrdreAffichage,
    DateMaj,
    DateValidite,
    Remarque,
};
static_assert(Remarque + 1 == NomenclatureColumns);

const QDateTime previousReleaseStamp = at(QDate(2020, 7, 1));
const QDateTime olderReleaseStamp = at(QDate(2020, 1, 1));
const QDateTime releaseValidity = at(QDate(2021, 1, 1));
constexpr double releaseIndex = 1.019; // the yearly indexation of the fees

const char* const permanentTeeth = "11-18,21-28,31-38,41-48";
const char* const deciduousTeeth = "51-55,61-65,71-75,81-85";

struct Detail
{
    const char* abbr;
    const char* text;
    double factor;
    const char* teeth;
};

struct Qualifier
{
    const char* abbr;
    const char* text;
    double factor;
    int ageMin; // -1: none
    int ageMax;
};

struct Family
{
    const char* stem;
    const char* category;
    const char* text;
    const char* revisedText; // the wording of the new release, for codes whose text changes
    std::array<int, 3> prefixes;
    double fee;
    double refund; // share of the fee the insurer pays back
    int colour;
    std::span<const Detail> details;
    unsigned ages = 0x3F; // the age qualifiers that make sense for the family (bits of `ages`)
};

constexpr unsigned childAges = 0x13; // none, under 18, under 12
constexpr unsigned adultAges = 0x0D; // none, from 18, from 67

const Detail consultationDetails[] = {
    {"", "", 1.0, nullptr},
    {"W", " le week-end", 1.6, nullptr},
    {"F", " un jour férié", 1.6, nullptr},
    {"N", " entre 21 et 8 heures", 1.9, nullptr},
};
const Detail examDetails[] = {
    {"", "", 1.0, nullptr},
    {"C", " avec rapport écrit", 1.2, nullptr},
};
const Detail scalingDetails[] = {
    {"", " complet, par séance", 1.0, permanentTeeth},
    {"Q", " d'un quadrant", 0.4, permanentTeeth},
    {"S", " d'un sextant", 0.3, permanentTeeth},
};
const Detail sealingDetails[] = {
    {"", ", par dent", 1.0, "16-17,26-27,36-37,46-47"},
    {"P", ", prémolaires", 1.0, "14-15,24-25,34-35,44-45"},
};
const Detail fillingDetails[] = {
    {"1F", " d'une face", 1.0, permanentTeeth},
    {"2F", " de deux faces", 1.4, permanentTeeth},
    {"3F", " de trois faces", 1.8, permanentTeeth},
    {"4F", " de quatre faces ou plus", 2.2, permanentTeeth},
    {"T1", " d'une face, dent temporaire", 0.9, deciduousTeeth},
    {"T2", " de deux faces, dent temporaire", 1.2, deciduousTeeth},
};
const Detail rebuildDetails[] = {
    {"", " coronaire", 1.0, permanentTeeth},
    {"P", " coronaire avec ancrage", 1.4, permanentTeeth},
    {"V", " au verre ionomère", 0.8, permanentTeeth},
};
const Detail rootDetails[] = {
    {"1C", " d'une dent à un canal", 1.0, permanentTeeth},
    {"2C", " d'une dent à deux canaux", 1.5, permanentTeeth},
    {"3C", " d'une dent à trois canaux ou plus", 2.0, permanentTeeth},
    {"R", ", reprise de traitement", 2.3, permanentTeeth},
};
const Detail pulpDetails[] = {
    {"", "", 1.0, deciduousTeeth},
    {"P", ", dent permanente", 1.3, permanentTeeth},
};
const Detail extractionDetails[] = {
    {"", " d'une dent permanente", 1.0, permanentTeeth},
    {"T", " d'une dent temporaire", 0.7, deciduousTeeth},
    {"M", " d'une molaire", 1.2, "16-18,26-28,36-38,46-48"},
    {"S", " de la dent suivante, même séance", 0.6, permanentTeeth},
};
const Detail surgeryDetails[] = {
    {"I", " d'une dent incluse", 1.0, "18,28,38,48"},
    {"A", " avec alvéolectomie", 0.8, permanentTeeth},
    {"K", " d'un kyste", 1.3, nullptr},
    {"R", " d'une racine", 0.7, permanentTeeth},
};
const Detail xrayDetails[] = {
    {"", ", premier cliché", 1.0, nullptr},
    {"2", ", cliché supplémentaire", 0.6, nullptr},
    {"B", ", cliché rétrocoronaire (bitewing)", 0.9, nullptr},
};
const Detail panoramicDetails[] = {
    {"", "", 1.0, nullptr},
    {"E", " chez l'enfant", 0.9, nullptr},
};
const Detail cephalometryDetails[] = {
    {"", " de profil", 1.0, nullptr},
    {"F", " de face", 1.0, nullptr},
};
const Detail periodontalDetails[] = {
    {"", " (DPSI)", 1.0, nullptr},
    {"C", " complet avec charting", 1.6, nullptr},
};
const Detail debridementDetails[] = {
    {"Q", " d'un quadrant", 1.0, permanentTeeth},
    {"S", " d'un sextant", 0.8, permanentTeeth},
    {"D", " d'une dent", 0.4, permanentTeeth},
};
const Detail dentureDetails[] = {
    {"1", " de 1 à 4 dents", 1.0, nullptr},       {"5", " de 5 dents", 1.2, nullptr},
    {"6", " de 6 dents", 1.3, nullptr},           {"7", " de 7 dents", 1.4, nullptr},
    {"8", " de 8 à 10 dents", 1.6, nullptr},      {"11", " de 11 à 13 dents", 1.9, nullptr},
    {"CS", " complète supérieure", 2.4, nullptr}, {"CI", " complète inférieure", 2.4, nullptr},
};
const Detail repairDetails[] = {
    {"", " sans empreinte", 1.0, nullptr},
    {"E", " avec empreinte", 1.5, nullptr},
    {"D", " avec adjonction d'une dent", 1.7, nullptr},
    {"C", " avec adjonction d'un crochet", 1.6, nullptr},
};
const Detail relineDetails[] = {
    {"", " d'une prothèse partielle", 1.0, nullptr},
    {"C", " d'une prothèse complète", 1.3, nullptr},
};
const Detail orthoDetails[] = {
    {"D", ", forfait de début de traitement", 8.0, nullptr},
    {"S", ", séance de traitement", 1.0, nullptr},
    {"C", ", contrôle de contention", 0.8, nullptr},
    {"F", ", forfait de fin de traitement", 4.0, nullptr},
    {"A", ", appareil amovible", 6.0, nullptr},
};
const Detail emergencyDetails[] = {
    {"S", " le samedi", 1.0, nullptr},
    {"D", " le dimanche", 1.2, nullptr},
    {"N", " la nuit", 1.5, nullptr},
    {"F", " un jour férié", 1.2, nullptr},
};
const Detail implantDetails[] = {
    {"", " ostéo-intégré", 1.0, permanentTeeth},
    {"P", ", pilier", 0.5, permanentTeeth},
    {"C", ", couronne sur implant", 0.8, permanentTeeth},
};
const Detail crownDetails[] = {
    {"", " céramo-métallique", 1.0, permanentTeeth},
    {"C", " céramique", 1.2, permanentTeeth},
    {"P", " provisoire", 0.2, permanentTeeth},
    {"I", " inlay-core", 0.5, permanentTeeth},
};

const Family families[] = {
    {"CONS",
     "Consultations",
     "Consultation au cabinet du praticien de l'art dentaire",
     "Consultation du praticien de l'art dentaire au cabinet",
     {30, 37, 30},
     27.13,
     0.75,
     0xC0E0FF,
     consultationDetails},
    {"VIS",
     "Consultations",
     "Visite au domicile du patient",
     "Visite du praticien de l'art dentaire au domicile",
     {30, 37, 30},
     36.82,
     0.75,
     0xC0E0FF,
     consultationDetails},
    {"EXBUC",
     "Soins préventifs",
     "Examen buccal annuel",
     "Examen buccal périodique",
     {37, 37, 30},
     29.50,
     1.0,
     0xC0FFC0,
     examDetails,
     adultAges | childAges},
    {"DETART",
     "Soins préventifs",
     "Détartrage",
     "Détartrage et polissage",
     {30, 37, 30},
     38.10,
     0.75,
     0xC0FFC0,
     scalingDetails},
    {"SCELL",
     "Soins préventifs",
     "Scellement des puits et fissures",
     "Scellement de sillons",
     {37, 37, 30},
     25.76,
     1.0,
     0xC0FFC0,
     sealingDetails,
     childAges},
    {"OBT",
     "Soins conservateurs",
     "Obturation d'une cavité",
     "Restauration d'une cavité",
     {30, 37, 30},
     40.26,
     0.75,
     0xFFFFC0,
     fillingDetails},
    {"RECON",
     "Soins conservateurs",
     "Reconstitution",
     "Reconstruction",
     {30, 37, 30},
     64.90,
     0.75,
     0xFFFFC0,
     rebuildDetails},
    {"ENDO",
     "Endodontie",
     "Traitement et obturation canalaire",
     "Traitement endodontique",
     {30, 37, 30},
     80.45,
     0.75,
     0xFFE0C0,
     rootDetails},
    {"PULP", "Endodontie", "Pulpotomie", "Pulpotomie ou pulpectomie", {30, 37, 30}, 45.30, 0.75, 0xFFE0C0, pulpDetails},
    {"EXTR", "Extractions", "Extraction", "Avulsion", {30, 37, 30}, 42.20, 0.75, 0xFFC0C0, extractionDetails},
    {"CHIR",
     "Chirurgie",
     "Extraction chirurgicale",
     "Avulsion chirurgicale",
     {31, 31, 30},
     98.40,
     0.75,
     0xFFC0C0,
     surgeryDetails},
    {"RXI",
     "Radiographies",
     "Radiographie intrabuccale",
     "Cliché radiographique intrabuccal",
     {30, 37, 30},
     14.76,
     0.75,
     0xE0E0E0,
     xrayDetails},
    {"PANO",
     "Radiographies",
     "Orthopantomographie",
     "Radiographie panoramique",
     {30, 37, 30},
     60.15,
     0.75,
     0xE0E0E0,
     panoramicDetails},
    {"CEPH",
     "Radiographies",
     "Téléradiographie du crâne",
     "Céphalométrie",
     {30, 37, 30},
     42.87,
     0.75,
     0xE0E0E0,
     cephalometryDetails},
    {"PARO",
     "Parodontologie",
     "Examen parodontal",
     "Dépistage parodontal",
     {30, 37, 30},
     24.10,
     0.75,
     0xE0C0FF,
     periodontalDetails},
    {"DEBRI",
     "Parodontologie",
     "Débridement radiculaire non chirurgical",
     "Surfaçage radiculaire",
     {30, 37, 30},
     56.30,
     0.75,
     0xE0C0FF,
     debridementDetails},
    {"PROTH",
     "Prothèses",
     "Prothèse amovible",
     "Prothèse dentaire amovible",
     {30, 35, 30},
     240.00,
     0.6,
     0xC0FFFF,
     dentureDetails,
     adultAges},
    {"REPAR",
     "Prothèses",
     "Réparation de prothèse",
     "Réparation d'une prothèse amovible",
     {30, 35, 30},
     48.72,
     0.75,
     0xC0FFFF,
     repairDetails,
     adultAges},
    {"REBAS",
     "Prothèses",
     "Rebasage",
     "Rebasage complet",
     {30, 35, 30},
     72.40,
     0.75,
     0xC0FFFF,
     relineDetails,
     adultAges},
    {"COUR",
     "Prothèses",
     "Couronne",
     "Couronne prothétique",
     {38, 38, 30},
     520.00,
     0.0,
     0xC0FFFF,
     crownDetails,
     adultAges},
    {"ORTHO",
     "Orthodontie",
     "Traitement orthodontique",
     "Traitement d'orthodontie",
     {30, 35, 30},
     45.00,
     0.75,
     0xFFC0FF,
     orthoDetails,
     childAges},
    {"URG",
     "Urgences",
     "Supplément pour prestation urgente",
     "Supplément d'urgence",
     {30, 37, 30},
     21.43,
     0.75,
     0xFF8080,
     emergencyDetails},
    {"IMPL",
     "Implantologie",
     "Implant",
     "Implant dentaire",
     {38, 38, 30},
     850.00,
     0.0,
     0xFFFFFF,
     implantDetails,
     adultAges},
};

const Qualifier settings[] = {
    {"", "", 1.0, -1, -1},
    {"C", ", au cabinet", 1.0, -1, -1},
    {"D", ", à domicile", 1.4, -1, -1},
    {"H", ", en milieu hospitalier", 1.1, -1, -1},
    {"M", ", en maison de repos", 1.3, -1, -1},
};
const Qualifier ages[] = {
    {"", "", 1.0, -1, -1},
    {"E", " chez un patient de moins de 18 ans", 1.0, 0, 17},
    {"A", " à partir du 18e anniversaire", 1.0, 18, -1},
    {"S", " à partir du 67e anniversaire", 1.0, 67, -1},
    {"J", " chez un patient de moins de 12 ans", 1.0, 0, 11},
    {"B", " entre le 15e et le 67e anniversaire", 1.0, 15, 66},
};

// Codes every practice bills: fixed codes and abbreviations (among them codes the purge step
// knows), placed before the drawn ones.
struct Anchor
{
    const char* code;
    const char* abbr;
    int family;
    int detail;
    const char* text;
    double fee;
};
const Anchor anchors[] = {
    {"301011", "CONS", 0, 0, "Consultation au cabinet du praticien de l'art dentaire", 27.13},
    {"371011", "EXBUC", 2, 0, "Examen buccal annuel à partir du 18e anniversaire", 29.50},
    {"302153", "DETART1", 3, 0, "Détartrage complet, une fois par année civile", 38.10},
    {"307090", "RXI", 11, 0, "Radiographie intrabuccale, premier cliché", 14.76},
    {"305616,", "OBT1F", 5, 0, "Obturation d'une cavité d'une face (ancienne codification)", 40.26},
    {"305653,", "OBT2F", 5, 1, "Obturation d'une cavité de deux faces (ancienne codification)", 56.36},
    {"307274.", "PANO", 12, 0, "Orthopantomographie (ancienne codification)", 60.15},
    {"308335.", "EXTR1", 9, 0, "Extraction d'une dent permanente (ancienne codification)", 42.20},
    {"301033", "CONSSP", 0, 0, "Consultation d'un dentiste spécialiste en orthodontie", 30.52},
};
constexpr int anchorCount = int(std::size(anchors));

struct Combination
{
    int family;
    int detail;
    int setting;
    int age;
};

// A code as drawn, with what its release version needs.
struct Code
{
    Row row;
    int family = 0;
    QString tail; // the text after the family's own words
    bool revisable = true;
};

class Generator
{
public:
    explicit Generator(const Options& options) : m_rng(options.seed, NomenclatureStream) {}

    QList<Code> draw(int count)
    {
        QList<Code> codes;
        codes.reserve(count);
        for (int i = 0; i < count; ++i)
            codes.append(next());
        return codes;
    }

    // Reserves an abbreviation, unique without regard to letter case as the old engine compares.
    QString abbreviation(const QString& base)
    {
        QString candidate = base;
        for (int n = 1; m_abbreviations.contains(candidate.toUpper()); ++n)
            candidate = base + QString::number(n);
        m_abbreviations.insert(candidate.toUpper());
        return candidate;
    }

    Rng& rng() { return m_rng; }

private:
    Code next()
    {
        if (m_anchor < anchorCount)
            return fromAnchor(anchors[m_anchor++]);
        if (m_combinations.isEmpty())
            refill();
        const Combination c = m_combinations.takeLast();
        const Family& f = families[c.family];
        const Detail& d = f.details[size_t(c.detail)];
        const Qualifier& s = settings[c.setting];
        const Qualifier& a = ages[c.age];
        QString tail = QString::fromUtf8(d.text) + QString::fromUtf8(s.text) + QString::fromUtf8(a.text);
        // Beyond the official wording, the table holds the practice's other rates of the same acts.
        if (m_round == 1)
            tail += QStringLiteral(" - honoraire non conventionné");
        else if (m_round == 2)
            tail += QStringLiteral(" - ancienne codification");
        else if (m_round > 2)
            tail += QStringLiteral(" - variante %1").arg(m_round - 1);
        double fee = f.fee * d.factor * s.factor;
        const bool child = a.ageMax >= 0 && a.ageMax < 18;
        const double refund = std::min(1.0, f.refund + (child ? 0.25 : 0.0));
        Code code;
        code.family = c.family;
        code.tail = tail;
        code.row = baseRow(f, uniqueCode(f), abbreviation(QString::fromUtf8(f.stem) + d.abbr + s.abbr + a.abbr),
                           QString::fromUtf8(f.text) + tail, cents(fee * (0.9 + 0.2 * m_rng.unit())), refund);
        if (a.ageMin >= 0)
            code.row[AgeMin] = a.ageMin;
        if (a.ageMax >= 0)
            code.row[AgeMax] = a.ageMax;
        if (d.teeth)
            code.row[Dents] = QString::fromUtf8(d.teeth);
        return code;
    }

    Code fromAnchor(const Anchor& anchor)
    {
        const Family& f = families[anchor.family];
        m_codes.insert(QString::fromUtf8(anchor.code));
        Code code;
        code.family = anchor.family;
        const QString text = QString::fromUtf8(anchor.text);
        const QString own = QString::fromUtf8(f.text);
        code.revisable = text.startsWith(own);
        code.tail = text.mid(own.size());
        code.row = baseRow(f, QString::fromUtf8(anchor.code), abbreviation(QString::fromUtf8(anchor.abbr)), text,
                           anchor.fee, f.refund);
        if (const char* teeth = f.details[size_t(anchor.detail)].teeth)
            code.row[Dents] = QString::fromUtf8(teeth);
        return code;
    }

    Row baseRow(const Family& f, const QString& code, const QString& abbr, const QString& text, double fee,
                double refund)
    {
        Row row(NomenclatureColumns);
        row[Abreviation] = abbr;
        row[CodeInami] = code;
        row[Libelle] = text;
        setFees(row, fee, refund);
        row[Categorie] = QString::fromUtf8(f.category);
        row[Couleur] = f.colour;
        row[LettreCle] = QStringLiteral("N");
        row[Favori] = false;
        row[OrdreAffichage] = 0;
        row[DateMaj] = previousReleaseStamp;
        static const QDate validities[] = {QDate(2015, 1, 1), QDate(2017, 5, 1), QDate(2019, 1, 1), QDate(2020, 1, 1)};
        row[DateValidite] = at(m_rng.pick(std::span<const QDate>(validities)));
        if (m_rng.chance(0.04))
            row[Remarque] = QStringLiteral("Non cumulable avec le code 301011 le même jour");
        return row;
    }

    // A six-digit code under one of the family's prefixes; a few carry a trailing mark, as the
    // practices' own variants of official codes do.
    QString uniqueCode(const Family& f)
    {
        static const char marks[] = {'.', ',', ';', ':'};
        for (int attempt = 0;; ++attempt) {
            int number = 0;
            if (attempt < 32) {
                const int prefix = f.prefixes[size_t(m_rng.below(3))];
                number = prefix * 10000 + m_rng.between(1000, 9999);
            } else {
                // The family's range is crowded: any free six-digit number.
                number = m_rng.between(100000, 999999);
            }
            QString code = QString::number(number);
            if (m_rng.chance(0.02))
                code += QLatin1Char(m_rng.pick(std::span<const char>(marks)));
            if (!m_codes.contains(code)) {
                m_codes.insert(code);
                return code;
            }
        }
    }

    void refill()
    {
        for (int f = 0; f < int(std::size(families)); ++f)
            for (int d = 0; d < int(families[f].details.size()); ++d)
                for (int s = 0; s < int(std::size(settings)); ++s)
                    for (int a = 0; a < int(std::size(ages)); ++a)
                        if (families[f].ages & (1u << a))
                            m_combinations.append({f, d, s, a});
        m_rng.shuffle(m_combinations);
        if (m_filled++)
            ++m_round;
    }

    Rng m_rng;
    QList<Combination> m_combinations;
    QSet<QString> m_codes;
    QSet<QString> m_abbreviations;
    int m_anchor = 0;
    int m_filled = 0;
    int m_round = 0;

public:
    static void setFees(Row& row, double fee, double refund)
    {
        const double paid = cents(fee * refund);
        const double paidBim = cents(fee * std::min(1.0, refund + 0.15));
        row[Honoraire] = fee;
        row[Remboursement] = paid;
        row[TicketModerateur] = cents(fee - paid);
        row[HonoraireBim] = fee;
        row[RemboursementBim] = paidBim;
        row[TicketBim] = cents(fee - paidBim);
    }
};

// The practice's own touches on its copy: columns that no release writes.
void personalise(Row& row, Rng& rng, int& favourites)
{
    if (rng.chance(0.04))
        row[LibellePerso] =
            row[Libelle].toString().section(QLatin1Char(','), 0, 0).left(40) + QStringLiteral(" (cabinet)");
    if (rng.chance(0.05))
        row[Couleur] = int(rng.next() & 0xFFFFFF);
    if (rng.chance(0.02))
        row[NotePerso] = QStringLiteral("Vérifier l'accord de la mutuelle avant facturation");
    if (rng.chance(0.03)) {
        row[Favori] = true;
        row[OrdreAffichage] = ++favourites;
    }
}

// The release's copy of a user's code: what the maker publishes, without the practice's columns.
Row releaseCopy(const Row& user)
{
    Row row = user;
    row[LibellePerso] = QVariant();
    row[NotePerso] = QVariant();
    row[Favori] = false;
    row[OrdreAffichage] = 0;
    return row;
}

void revise(Code& code, Row& row, Rng& rng)
{
    const Family& f = families[code.family];
    const double fee = cents(row[Honoraire].toDouble() * releaseIndex);
    const double refund = row[Honoraire].toDouble() > 0 ? row[Remboursement].toDouble() / row[Honoraire].toDouble() : 0;
    Generator::setFees(row, fee, refund);
    row[DateValidite] = releaseValidity;
    if (rng.chance(0.3) && code.revisable)
        row[Libelle] = QString::fromUtf8(f.revisedText) + code.tail;
}

} // namespace

NomenclatureTables makeNomenclature(const Options& options)
{
    const int userCount = options.codes;
    if (userCount < 1)
        throw SampleError(QStringLiteral("the code table needs at least one code"));
    if (userCount > 800000)
        throw SampleError(QStringLiteral("at most 800000 codes"));
    const unsigned rowFaults =
        unsigned(Fault::DuplicateAbbreviation) | unsigned(Fault::Apostrophe) | unsigned(Fault::NullAbbreviation);
    if ((options.faults & rowFaults) && userCount < 6)
        throw SampleError(QStringLiteral("the code faults need at least 6 codes"));

    const double percent = options.sharedPercent < 0 ? 97.0 : options.sharedPercent;
    int shared = userCount;
    int added = 0;
    if (options.newCodes < 0) {
        if (percent <= 0 || percent > 100)
            throw SampleError(QStringLiteral("--shared-percent must be above 0 and at most 100"));
        added = int(std::lround(userCount * (100.0 - percent) / percent));
    } else {
        if (percent < 0 || percent > 100)
            throw SampleError(QStringLiteral("--shared-percent must be between 0 and 100"));
        added = options.newCodes;
        if (options.sharedPercent >= 0)
            shared = percent >= 100
                         ? userCount
                         : int(std::min<double>(userCount, std::lround(added * percent / (100.0 - percent))));
    }
    if (added > 800000)
        throw SampleError(QStringLiteral("at most 800000 new codes"));
    if (options.changedPercent < 0 || options.changedPercent > 100)
        throw SampleError(QStringLiteral("--changed-percent must be between 0 and 100"));

    Generator generator(options);
    Rng& rng = generator.rng();
    QList<Code> user = generator.draw(userCount);
    QList<Code> fresh = generator.draw(added);

    // Table order: a stable shuffle, like a table that grew over the years.
    rng.shuffle(user);
    QList<int> order(userCount);
    for (int i = 0; i < userCount; ++i)
        order[i] = i;
    rng.shuffle(order);

    const int dupA = userCount / 6, nullRow = userCount * 2 / 6, quoteRow = userCount * 3 / 6, dupB = userCount * 5 / 6;
    if (options.has(Fault::Apostrophe)) {
        // The quoted code must reach the release's table as well.
        const qsizetype position = order.indexOf(quoteRow);
        if (position >= shared)
            order.swapItemsAt(position, 0);
        Row& row = user[quoteRow].row;
        const QString code = row[CodeInami].toString();
        row[CodeInami] = code.left(3) + QLatin1Char('\'') + code.mid(3);
        row[Abreviation] = QStringLiteral("D'") + row[Abreviation].toString();
    }

    NomenclatureTables tables;
    QList<bool> isShared(userCount, false);
    for (int i = 0; i < shared; ++i)
        isShared[order[i]] = true;
    QList<int> sharedIndexes;
    for (int i = 0; i < userCount; ++i)
        if (isShared[i])
            sharedIndexes.append(i);
    rng.shuffle(sharedIndexes);
    const int changed = int(std::lround(shared * options.changedPercent / 100.0));
    QList<bool> isChanged(userCount, false);
    for (int i = 0; i < changed; ++i)
        isChanged[sharedIndexes[i]] = true;

    int favourites = 0;
    for (int i = 0; i < userCount; ++i) {
        Code& code = user[i];
        if (!isShared[i]) {
            // A code the release dropped: its stamp is that of the last release that listed it.
            static const QDate stamps[] = {QDate(2016, 1, 1), QDate(2017, 7, 1), QDate(2018, 1, 1), QDate(2019, 7, 1)};
            code.row[DateMaj] = at(rng.pick(std::span<const QDate>(stamps)));
        }
        Row release = releaseCopy(code.row);
        Row installed = release;
        installed[DateMaj] = olderReleaseStamp;
        if (isChanged[i])
            revise(code, release, rng);
        personalise(code.row, rng, favourites);
        if (isShared[i]) {
            tables.release.append(release);
            tables.installed.append(installed);
        }
    }
    for (Code& code : fresh) {
        Row row = releaseCopy(code.row);
        row[DateValidite] = releaseValidity;
        tables.release.append(row);
    }
    rng.shuffle(tables.release);
    rng.shuffle(tables.installed);

    if (options.has(Fault::DuplicateAbbreviation))
        user[dupB].row[Abreviation] = user[dupA].row[Abreviation].toString().toLower();
    if (options.has(Fault::NullAbbreviation))
        user[nullRow].row[Abreviation] = QVariant();

    for (const Code& code : user)
        tables.user.append(code.row);

    // The reduced-rate copy: most of the codes, at the reduced fees, stamped by an older release.
    for (const Row& row : tables.user) {
        if (!rng.chance(0.85))
            continue;
        Row reduced = row;
        const double fee = cents(row[Honoraire].toDouble() * 0.8);
        const double refund =
            row[Honoraire].toDouble() > 0 ? row[Remboursement].toDouble() / row[Honoraire].toDouble() : 0;
        Generator::setFees(reduced, fee, refund);
        reduced[DateMaj] = at(QDate(2019, 1, 1));
        tables.reduced.append(reduced);
    }
    rng.shuffle(tables.reduced);

    tables.sharedCodes = shared;
    tables.changedCodes = changed;
    tables.newCodes = added;
    return tables;
}

} // namespace maj::sample
