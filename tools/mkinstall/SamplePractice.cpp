#include "SampleDetail.h"

#include <QDir>

#include <algorithm>
#include <vector>

namespace maj::sample::detail {

namespace {

template <typename T, size_t N> std::span<const T> all(const T (&items)[N])
{
    return std::span<const T>(items, N);
}

const char* const surnames[] = {
    "Peeters",  "Janssens", "Maes",     "Jacobs",   "Mertens",      "Willems",   "Claes",     "Goossens",  "Wouters",
    "De Smet",  "Dubois",   "Lambert",  "Dupont",   "Martin",       "Simon",     "Laurent",   "Leclercq",  "Renard",
    "Lejeune",  "Denis",    "Dumont",   "Lemaire",  "Michel",       "Hermans",   "Wauters",   "Van Damme", "Gilson",
    "Collard",  "François", "Mathieu",  "Thiry",    "Delvaux",      "Piron",     "Jacquemin", "Hubert",    "Lefèvre",
    "Gérard",   "Noël",     "Bastin",   "Charlier", "Henry",        "Leroy",     "Fontaine",  "Verhaegen", "De Backer",
    "Delhaye",  "Massart",  "Pirard",   "Marchal",  "Van Acker",    "Hendrickx", "Louis",     "Lecocq",    "Jadot",
    "Poncelet", "Gillet",   "Remacle",  "Lemmens",  "Cornet",       "Mahieu",    "Englebert", "Wathelet",  "Deprez",
    "Dethier",  "Lhoest",   "Lecomte",  "Stassen",  "Müller",       "Nguyen",    "El Amrani", "Benali",    "Yilmaz",
    "Rossi",    "Da Silva", "Kowalski", "Gonzalez", "Vandenberghe", "Desmedt",   "Crèvecœur", "D'Hondt",
};
const char* const womenNames[] = {
    "Élise",  "Léa",      "Louise",   "Emma",      "Chloé",     "Camille", "Zoé",     "Manon",
    "Inès",   "Céline",   "Hélène",   "Gaëlle",    "Véronique", "Anaïs",   "Marie",   "Julie",
    "Sophie", "Nathalie", "Isabelle", "Françoise", "Brigitte",  "Monique", "Aurélie", "Mélanie",
    "Noémie", "Océane",   "Maëlle",   "Juliette",  "Margaux",   "Sarah",   "Amélie",  "Josée",
};
const char* const menNames[] = {
    "Noah",    "Lucas",    "Hugo",   "Nathan", "Théo",     "Jules",   "Maxime",  "François",
    "Benoît",  "Jérôme",   "Arthur", "Louis",  "Thomas",   "Nicolas", "Olivier", "Philippe",
    "Pierre",  "Jean-Luc", "Michel", "André",  "Stéphane", "Cédric",  "Grégory", "Loïc",
    "Raphaël", "Gaël",     "Mathis", "Victor", "Adrien",   "Joël",    "Noël",    "Étienne",
};
const char* const streets[] = {
    "Rue de la Station",
    "Rue de l'Église",
    "Avenue Louise",
    "Chaussée de Waterloo",
    "Rue des Écoles",
    "Place Saint-Lambert",
    "Rue du Moulin",
    "Rue de la Gare",
    "Avenue des Combattants",
    "Rue Haute",
    "Rue Royale",
    "Boulevard d'Avroy",
    "Rue Neuve",
    "Rue du Château",
    "Avenue de Tervueren",
    "Chaussée de Louvain",
    "Rue des Champs",
    "Rue de Namur",
    "Rue du Centre",
    "Clos des Lilas",
    "Allée des Hêtres",
    "Rue Saint-Gilles",
    "Quai de la Boverie",
    "Rue Grande",
    "Drève de Lorraine",
};
struct Place
{
    const char* postcode;
    const char* locality;
    const char* zone; // telephone zone
};
// The practice's surroundings first: most patients live nearby.
const Place places[] = {
    {"1410", "Waterloo", "02"},
    {"1420", "Braine-l'Alleud", "02"},
    {"1380", "Lasne", "02"},
    {"1310", "La Hulpe", "02"},
    {"1640", "Rhode-Saint-Genèse", "02"},
    {"1180", "Uccle", "02"},
    {"1300", "Wavre", "010"},
    {"1340", "Ottignies-Louvain-la-Neuve", "010"},
    {"1400", "Nivelles", "067"},
    {"1480", "Tubize", "02"},
    {"1000", "Bruxelles", "02"},
    {"1050", "Ixelles", "02"},
    {"1060", "Saint-Gilles", "02"},
    {"1070", "Anderlecht", "02"},
    {"1190", "Forest", "02"},
    {"1200", "Woluwe-Saint-Lambert", "02"},
    {"4000", "Liège", "04"},
    {"4800", "Verviers", "087"},
    {"5000", "Namur", "081"},
    {"5500", "Dinant", "082"},
    {"6000", "Charleroi", "071"},
    {"7000", "Mons", "065"},
    {"7100", "La Louvière", "064"},
    {"7500", "Tournai", "069"},
    {"6700", "Arlon", "063"},
};
constexpr int nearbyPlaces = 10;
const char* const mailDomains[] = {"skynet.be",  "gmail.com",  "proximus.be", "hotmail.com",
                                   "outlook.be", "telenet.be", "yahoo.fr",    "voo.be"};
const char* const professions[] = {"Employé",    "Enseignante",     "Indépendant",      "Infirmière",
                                   "Ingénieur",  "Ouvrier",         "Fonctionnaire",    "Comptable",
                                   "Commerçant", "Sans profession", "Kinésithérapeute", "Architecte"};
const char* const allergies[] = {"Pénicilline", "Latex", "Lidocaïne", "Aspirine", "Iode", "Nickel"};
const char* const histories[] = {"Hypertension artérielle", "Diabète de type 2",        "Asthme",
                                 "Prothèse de hanche",      "Antécédent d'endocardite", "Hypothyroïdie",
                                 "Infarctus en 2015"};
const char* const medicines[] = {"Sintrom",  "Asaflow 80 mg", "Metformine", "L-Thyroxine",
                                 "Ventolin", "Bisoprolol",    "Xarelto"};
const char* const remarks[] = {"Patient anxieux, prévoir plus de temps", "Préfère les rendez-vous en fin de journée",
                               "Ne supporte pas l'adrénaline", "Contacter les parents pour les rendez-vous",
                               "Réflexe nauséeux important"};
const char* const careRemarks[] = {"Anesthésie locale", "À revoir dans quinze jours", "Rendez-vous manqué",
                                   "Sensibilité au froid signalée", "Pose d'une obturation provisoire"};
// National codes of the sickness funds, followed by the local fund.
const char* const funds[] = {"116", "131", "203", "306", "319", "407", "509", "526", "600", "900"};

struct Dentist
{
    int number;
    const char* name;
    const char* address;
    const char* postcode;
    const char* locality;
    const char* phone;
    int inami;
    const char* qualification;
    const char* email;
    bool conventionne;
};
const Dentist dentists[] = {
    {1, "Dupont Jean", "Chaussée de Bruxelles 135", "1410", "Waterloo", "02 354 12 87", 4512, "001",
     "jean.dupont@dupont-dentistes.be", true},
    {2, "Dupont Mathieu", "Chaussée de Bruxelles 135", "1410", "Waterloo", "02 354 12 87", 18734, "001",
     "mathieu.dupont@dupont-dentistes.be", true},
    {3, "Lambert Élise", "Rue de la Station 12", "1410", "Waterloo", "02 351 44 09", 21456, "004",
     "elise.lambert@skynet.be", true},
    {4, "Van den Bossche Pieter", "Rue Haute 48", "1420", "Braine-l'Alleud", "02 384 27 15", 9871, "001",
     "p.vandenbossche@telenet.be", false},
    {5, "Müller Hélène", "Avenue des Combattants 7", "1340", "Ottignies-Louvain-la-Neuve", "010 45 67 12", 30219, "001",
     "helene.muller@gmail.com", true},
};
// A former locum's number: it appears in old treatments, its dentist row was deleted long ago.
constexpr int locumNumber = 9;

const char* const practiceName = "Cabinet dentaire Dupont & Fils";
const char* const practiceStreet = "Chaussée de Bruxelles 135";
const char* const practiceCity = "Waterloo";

struct Rejection
{
    const char* code;
    const char* text;
};
const Rejection rejections[] = {
    {"100", "Numéro INAMI du prestataire inconnu"},
    {"101", "Numéro INAMI du prestataire non valable à la date de la prestation"},
    {"110", "Numéro d'identification du patient (NISS) inconnu"},
    {"111", "Patient non assuré à la date de la prestation"},
    {"120", "Date de prestation postérieure à la date d'envoi"},
    {"121", "Date de prestation antérieure de plus de deux ans"},
    {"150", "Code nomenclature inconnu"},
    {"151", "Code nomenclature non valable à la date de la prestation"},
    {"152", "Prestation non autorisée pour l'âge du patient"},
    {"160", "Cumul interdit avec une prestation antérieure"},
    {"161", "Nombre maximal de prestations dépassé pour la période"},
    {"170", "Montant de l'honoraire supérieur au tarif conventionnel"},
    {"180", "Accord préalable du médecin-conseil manquant"},
    {"190", "Numéro de dent non valable pour cette prestation"},
    {"200", "Message électronique mal formé"},
    {"201", "Signature électronique non valable"},
    {"210", "Facture déjà introduite"},
    {"220", "Organisme assureur non compétent"},
};

// a mod 97 of a long decimal text.
int mod97(const QString& digits)
{
    int rest = 0;
    for (QChar c : digits)
        rest = (rest * 10 + c.digitValue()) % 97;
    return rest;
}

// A Belgian IBAN with valid check digits, grouped by four.
QString iban(Rng& rng)
{
    static const int banks[] = {1, 63, 68, 310, 363, 732, 751, 523};
    const QString account = QStringLiteral("%1%2")
                                .arg(rng.pick(all(banks)), 3, 10, QLatin1Char('0'))
                                .arg(rng.between(0, 9999999), 7, 10, QLatin1Char('0'));
    int local = mod97(account);
    if (local == 0)
        local = 97;
    const QString bban = account + QStringLiteral("%1").arg(local, 2, 10, QLatin1Char('0'));
    const int check = 98 - mod97(bban + QStringLiteral("111400"));
    const QString text = QStringLiteral("BE%1").arg(check, 2, 10, QLatin1Char('0')) + bban;
    QString grouped;
    for (int i = 0; i < text.size(); i += 4)
        grouped += (i ? QStringLiteral(" ") : QString()) + text.mid(i, 4);
    return grouped;
}

// The national register number: "yy.mm.dd-nnn.cc", serial odd for men, check digits over the
// birth date (prefixed by 2 for births from 2000).
QString niss(const QDate& birth, bool woman, Rng& rng)
{
    int serial = rng.between(1, 498) * 2 - (woman ? 0 : 1);
    const QString base = QStringLiteral("%1%2%3%4")
                             .arg(birth.year() % 100, 2, 10, QLatin1Char('0'))
                             .arg(birth.month(), 2, 10, QLatin1Char('0'))
                             .arg(birth.day(), 2, 10, QLatin1Char('0'))
                             .arg(serial, 3, 10, QLatin1Char('0'));
    const int check = 97 - mod97((birth.year() >= 2000 ? QStringLiteral("2") : QString()) + base);
    return QStringLiteral("%1.%2.%3-%4.%5")
        .arg(base.mid(0, 2), base.mid(2, 2), base.mid(4, 2), base.mid(6, 3))
        .arg(check, 2, 10, QLatin1Char('0'));
}

// An identity card number "592-1234567-89".
QString cardNumber(Rng& rng)
{
    const QString digits =
        QStringLiteral("%1%2").arg(rng.between(590, 599)).arg(rng.between(0, 9999999), 7, 10, QLatin1Char('0'));
    int check = int(digits.toLongLong() % 97);
    if (check == 0)
        check = 97;
    return digits.left(3) + QLatin1Char('-') + digits.mid(3) + QLatin1Char('-') +
           QStringLiteral("%1").arg(check, 2, 10, QLatin1Char('0'));
}

QString phone(const char* zone, Rng& rng)
{
    const QString z = QString::fromUtf8(zone);
    if (z.size() == 2)
        return QStringLiteral("%1 %2 %3 %4")
            .arg(z)
            .arg(rng.between(300, 799))
            .arg(rng.between(0, 99), 2, 10, QLatin1Char('0'))
            .arg(rng.between(0, 99), 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 %2 %3 %4")
        .arg(z)
        .arg(rng.between(20, 89))
        .arg(rng.between(0, 99), 2, 10, QLatin1Char('0'))
        .arg(rng.between(0, 99), 2, 10, QLatin1Char('0'));
}

QString mobile(Rng& rng)
{
    static const int operators[] = {470, 471, 472, 473, 474, 475, 476, 477, 478, 479, 484, 485,
                                    486, 487, 488, 489, 492, 493, 494, 495, 496, 497, 498, 499};
    return QStringLiteral("0%1 %2 %3 %4")
        .arg(rng.pick(all(operators)))
        .arg(rng.between(0, 99), 2, 10, QLatin1Char('0'))
        .arg(rng.between(0, 99), 2, 10, QLatin1Char('0'))
        .arg(rng.between(0, 99), 2, 10, QLatin1Char('0'));
}

struct Period
{
    QDate from;
    QDate to;
    bool contains(const QDate& day) const { return from.isValid() && day >= from && day <= to; }
};

Period clip(QDate from, QDate to, const QDate& start, const QDate& end)
{
    from = std::max(from, start);
    to = std::min(to, end);
    if (from > to)
        return {};
    return {from, to};
}

struct Patient
{
    int number = 0;
    QString surname;
    QString firstName;
    bool woman = false;
    QDate birth;
    QString address;
    int place = 0;
    int dentist = 1;
    bool bim = false;
    qint64 first = 0; // seconds since the epoch of the first and last treatment; 0: none
    qint64 last = 0;
};

QString fullName(const Patient& p)
{
    return p.surname + QLatin1Char(' ') + p.firstName;
}

QDateTime fromSeconds(qint64 seconds)
{
    return at(QDate::fromJulianDay(seconds / 86400)).addSecs(seconds % 86400);
}

qint64 toSeconds(const QDate& day, int secondOfDay)
{
    return day.toJulianDay() * 86400 + secondOfDay;
}

// Parses "11-18,21-28" into the list of tooth numbers.
QList<int> teethOf(const QString& text)
{
    QList<int> teeth;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList ends = part.split(QLatin1Char('-'));
        const int from = ends.first().toInt();
        const int to = ends.last().toInt();
        for (int t = from; t <= to; ++t)
            teeth.append(t);
    }
    return teeth;
}

class Practice
{
public:
    Practice(const QString& folder, const Options& options, const NomenclatureTables& codes)
        : m_folder(folder), m_options(options), m_codes(codes), m_today(options.today),
          m_start(options.today.addYears(-options.years).addDays(1))
    {
        const QDate end = m_today;
        m_periods[1] = {m_start, end};
        m_periods[2] = {m_start, end};
        m_periods[3] = clip(m_today.addYears(-3), end, m_start, end);
        m_periods[4] = clip(m_start, m_today.addYears(-2), m_start, end);
        m_periods[5] = clip(QDate(m_today.year() - 1, 1, 1), end, m_start, end);
        m_periods[locumNumber] = clip(m_today.addYears(-4), m_today.addYears(-3), m_start, end);
    }

    void write()
    {
        makePatients();
        {
            sql::Database pat = openDatabase(path("pat.mdb"), QStringLiteral("pat"));
            writeDentists(pat);
            writeTreatments(pat);
            writePatients(pat);
            writePatientSettings(pat);
        }
        writeSettings();
        writeOrtho();
        writeReminders();
        writeRejections();
    }

private:
    QString path(const char* name) const { return QDir(m_folder).filePath(QString::fromUtf8(name)); }

    void makePatients()
    {
        Rng rng(m_options.seed, PatientStream);
        m_patients.resize(size_t(m_options.patients));
        for (int i = 0; i < m_options.patients; ++i) {
            Patient& p = m_patients[size_t(i)];
            p.number = i + 1;
            p.woman = rng.chance(0.52);
            p.surname = QString::fromUtf8(rng.pick(all(surnames)));
            p.firstName = QString::fromUtf8(p.woman ? rng.pick(all(womenNames)) : rng.pick(all(menNames)));
            // Ages from 2 to 94, more adults than children.
            const int age = rng.chance(0.25) ? rng.between(2, 17) : rng.between(18, 94);
            p.birth = m_today.addYears(-age).addDays(-rng.below(365));
            p.place = rng.chance(0.75) ? rng.below(nearbyPlaces) : rng.below(int(std::size(places)));
            p.address = QStringLiteral("%1 %2").arg(QString::fromUtf8(rng.pick(all(streets)))).arg(rng.between(1, 250));
            static const int mainDentists[] = {1, 1, 1, 1, 2, 2, 2, 3, 4, 5, 5};
            p.dentist = rng.pick(all(mainDentists));
            p.bim = rng.chance(0.15);
        }
    }

    void writeDentists(sql::Database& db)
    {
        Rng rng(m_options.seed, PatientStream + 100);
        db.exec(QStringLiteral("BEGIN"));
        NamedWriter writer(db, QStringLiteral("dentiste"));
        for (const Dentist& d : dentists) {
            writer.add({{"numdentiste", d.number},
                        {"NOM", QString::fromUtf8(d.name)},
                        {"ADRESSE", QString::fromUtf8(d.address)},
                        {"CODEPOSTAL", QString::fromUtf8(d.postcode)},
                        {"LOCALITE", QString::fromUtf8(d.locality)},
                        {"TELEPHONE", QString::fromUtf8(d.phone)},
                        {"INAMI", inamiNumber(d.inami, d.qualification)},
                        {"COMPTE_BANCAIRE", iban(rng)},
                        {"EMAIL", QString::fromUtf8(d.email)},
                        {"CONVENTIONNE", d.conventionne}});
        }
        db.exec(QStringLiteral("COMMIT"));
    }

    int dentistFor(const Patient& p, const QDate& day, Rng& rng) const
    {
        if (m_periods.at(size_t(p.dentist)).contains(day) && rng.chance(0.9))
            return p.dentist;
        if (m_periods.at(locumNumber).contains(day) && rng.chance(0.1))
            return locumNumber;
        static const int others[] = {1, 2, 1, 2, 3, 5, 4};
        for (int attempt = 0; attempt < 16; ++attempt) {
            const int d = rng.pick(all(others));
            if (m_periods.at(size_t(d)).contains(day))
                return d;
        }
        return 1;
    }

    void writeTreatments(sql::Database& db)
    {
        const int count = m_options.treatments;
        if (count > 0 && m_patients.empty())
            throw SampleError(QStringLiteral("treatments need patients"));
        Rng rng(m_options.seed, TreatmentStream);

        // The codes billed: mostly the everyday ones, the rest of the table now and then.
        QList<int> usable, everyday;
        static const char* const common[] = {"301011", "371011", "302153", "307090", "305616,", "305653,", "307274."};
        for (int i = 0; i < m_codes.user.size(); ++i) {
            const QString code = m_codes.user[i][1].toString();
            if (code.isEmpty() || code.contains(QLatin1Char('\'')))
                continue;
            usable.append(i);
            for (const char* c : common)
                if (code == QLatin1String(c))
                    everyday.append(i);
        }
        if (count > 0 && usable.isEmpty())
            throw SampleError(QStringLiteral("treatments need tariff codes"));
        if (everyday.isEmpty())
            everyday = usable;
        QHash<int, QList<int>> teeth;

        // Dates first, in order, so the treatment numbers follow the calendar as in a practice.
        const qint64 days = m_start.daysTo(m_today) + 1;
        std::vector<qint64> moments(static_cast<size_t>(count));
        for (qint64& moment : moments) {
            QDate day = m_start.addDays(rng.below(int(days)));
            const int weekday = day.dayOfWeek();
            if (weekday >= 6) {
                const QDate friday = day.addDays(5 - weekday);
                day = friday >= m_start ? friday : day.addDays(8 - weekday);
                if (day > m_today)
                    day = m_today;
            }
            moment = toSeconds(day, 8 * 3600 + 900 * rng.below(44));
        }
        std::sort(moments.begin(), moments.end());

        db.exec(QStringLiteral("BEGIN"));
        TableWriter writer(db, QStringLiteral("soins"),
                           {QStringLiteral("NUMSOIN"), QStringLiteral("NUMPAT"), QStringLiteral("numdentiste"),
                            QStringLiteral("date"), QStringLiteral("code inami"), QStringLiteral("DENT"),
                            QStringLiteral("FACE"), QStringLiteral("HONORAIRE"), QStringLiteral("REMBOURSEMENT"),
                            QStringLiteral("PAYE"), QStringLiteral("REMARQUE")});
        // What the loop needs of each code and value, prepared once: a million rows must take seconds.
        static const char* const faces[] = {"O", "MO", "DO", "MOD", "V", "L", "OV", "MODV"};
        QVariantList faceTexts, remarkTexts, toothTexts(90), slotTexts;
        for (const char* face : faces)
            faceTexts.append(QString::fromUtf8(face));
        for (const char* remark : careRemarks)
            remarkTexts.append(QString::fromUtf8(remark));
        for (int t = 11; t < 90; ++t)
            toothTexts[t] = QString::number(t);
        for (int slot = 0; slot < 44; ++slot)
            slotTexts.append(QTime(8, 0).addSecs(900 * slot).toString(QStringLiteral(" HH:mm:ss")));
        QList<bool> conservative(m_codes.user.size());
        for (int index : usable)
            conservative[index] = m_codes.user[index][6].toString() == QLatin1String("Soins conservateurs");
        const QDate unpaidSince = m_today.addDays(-30);
        qint64 dayNumber = -1;
        QDate day;
        QString dayText;
        Row row(11);
        for (int i = 0; i < count; ++i) {
            Patient& p = m_patients[size_t(rng.below(int(m_patients.size())))];
            const qint64 moment = moments[size_t(i)];
            if (moment / 86400 != dayNumber) {
                dayNumber = moment / 86400;
                day = QDate::fromJulianDay(dayNumber);
                dayText = day.toString(Qt::ISODate);
            }
            const int index =
                rng.chance(0.55) ? everyday[rng.below(int(everyday.size()))] : usable[rng.below(int(usable.size()))];
            const Row& code = m_codes.user[index];
            row[0] = i + 1;
            row[1] = p.number;
            row[2] = dentistFor(p, day, rng);
            row[3] = dayText + slotTexts[int(moment % 86400 - 8 * 3600) / 900].toString();
            row[4] = code[1];
            QVariant tooth;
            if (code[14].isValid()) {
                auto found = teeth.find(index);
                if (found == teeth.end())
                    found = teeth.insert(index, teethOf(code[14].toString()));
                if (!found->isEmpty())
                    tooth = toothTexts.value(found->at(rng.below(int(found->size()))));
            }
            row[5] = tooth;
            row[6] = conservative[index] ? faceTexts[rng.below(int(faceTexts.size()))] : QVariant();
            row[7] = code[p.bim ? 9 : 3];
            row[8] = code[p.bim ? 10 : 4];
            row[9] = day < unpaidSince || rng.chance(0.6);
            row[10] = rng.chance(0.02) ? remarkTexts[rng.below(int(remarkTexts.size()))] : QVariant();
            writer.add(row);
            if (!p.first)
                p.first = moment;
            p.last = moment;
        }
        db.exec(QStringLiteral("COMMIT"));
    }

    void writePatients(sql::Database& db)
    {
        Rng rng(m_options.seed, PatientStream + 1);
        db.exec(QStringLiteral("BEGIN"));
        NamedWriter writer(db, QStringLiteral("patients"));
        for (const Patient& p : m_patients) {
            const Place& place = places[p.place];
            const int age = p.birth.daysTo(m_today) / 365;
            const QDateTime created = p.first ? fromSeconds(p.first - 3600)
                                              : at(m_start.addDays(rng.below(int(m_start.daysTo(m_today)) + 1)), 10);
            const QDateTime lastVisit = p.last ? fromSeconds(p.last) : QDateTime();
            const int months = age < 18 || rng.chance(0.7) ? 6 : 12;
            QVariantMap v{
                {"NUMPAT", p.number},
                {"NOM", p.surname.toUpper()},
                {"PRENOM", p.firstName},
                {"ADRESSE", p.address},
                {"CODEPOSTAL", QString::fromUtf8(place.postcode)},
                {"LOCALITE", QString::fromUtf8(place.locality)},
                {"PAYS", QStringLiteral("Belgique")},
                {"TELEPHONE", rng.chance(0.5) ? QVariant(phone(place.zone, rng)) : QVariant()},
                {"GSM", rng.chance(0.8) ? QVariant(mobile(rng)) : QVariant()},
                {"DATENAISSANCE", at(p.birth)},
                {"SEXE", p.woman ? QStringLiteral("F") : QStringLiteral("M")},
                {"NISS", niss(p.birth, p.woman, rng)},
                {"MUTUELLE", QString::fromUtf8(rng.pick(all(funds)))},
                {"NUMMUTUELLE", QString::number(rng.between(10000000, 99999999))},
                {"CT1", p.bim ? QStringLiteral("111") : QStringLiteral("110")},
                {"CT2", p.bim ? QStringLiteral("111") : QStringLiteral("110")},
                {"LANGUE", rng.chance(0.9) ? QStringLiteral("FR") : QStringLiteral("NL")},
                {"NUMDENTISTE", p.dentist},
                {"DATE_CREATION", created},
                {"DATE_DERNIERE_VISITE", lastVisit},
                {"FUMEUR", age >= 16 && rng.chance(0.18)},
                {"DIABETIQUE", false},
                {"ANTICOAGULANT", false},
                {"ENCEINTE", p.woman && age >= 20 && age <= 42 && rng.chance(0.04)},
                {"RAPPEL_MOIS", months},
                {"SOLDE", rng.chance(0.1) ? cents(10 + rng.unit() * 140) : 0.0},
                {"ACOMPTE", 0.0},
                {"TIERS_PAYANT", p.bim},
                {"DMG", rng.chance(0.3)},
                {"ACTIF", rng.chance(0.95)},
            };
            if (age < 18) {
                v.insert(QStringLiteral("TITULAIRE"),
                         p.surname.toUpper() + QLatin1Char(' ') +
                             QString::fromUtf8(rng.chance(0.5) ? rng.pick(all(womenNames)) : rng.pick(all(menNames))));
                v.insert(QStringLiteral("PROFESSION"), QStringLiteral("Élève"));
            } else {
                v.insert(QStringLiteral("PROFESSION"),
                         age >= 67 ? QStringLiteral("Retraité") : QString::fromUtf8(rng.pick(all(professions))));
            }
            if (rng.chance(0.6))
                v.insert(QStringLiteral("EMAIL"), asciiFold(p.firstName) + QLatin1Char('.') + asciiFold(p.surname) +
                                                      QLatin1Char('@') + QString::fromUtf8(rng.pick(all(mailDomains))));
            if (rng.chance(0.7))
                v.insert(QStringLiteral("MEDECIN_TRAITANT"),
                         QStringLiteral("Dr ") + QString::fromUtf8(rng.pick(all(surnames))));
            if (rng.chance(0.12))
                v.insert(QStringLiteral("ALLERGIES"), QString::fromUtf8(rng.pick(all(allergies))));
            if (age >= 40 && rng.chance(0.3)) {
                v.insert(QStringLiteral("ANTECEDENTS MEDICAUX"), QString::fromUtf8(rng.pick(all(histories))));
                const QString medicine = QString::fromUtf8(rng.pick(all(medicines)));
                v.insert(QStringLiteral("MEDICAMENTS"), medicine);
                v.insert(QStringLiteral("ANTICOAGULANT"), medicine == QLatin1String("Sintrom") ||
                                                              medicine.startsWith(QLatin1String("Asaflow")) ||
                                                              medicine == QLatin1String("Xarelto"));
                v.insert(QStringLiteral("DIABETIQUE"), medicine == QLatin1String("Metformine"));
            }
            if (rng.chance(0.05))
                v.insert(QStringLiteral("REMARQUE"), QString::fromUtf8(rng.pick(all(remarks))));
            if (lastVisit.isValid()) {
                v.insert(QStringLiteral("DATE_RAPPEL"), at(lastVisit.date().addMonths(months)));
                if (rng.chance(0.6))
                    v.insert(QStringLiteral("DERNIERE_RADIO"), at(lastVisit.date().addDays(-rng.below(400))));
                if (rng.chance(0.8)) {
                    v.insert(QStringLiteral("NUMERO_CARTE"), cardNumber(rng));
                    v.insert(QStringLiteral("DATE_LECTURE_CARTE"), lastVisit);
                }
            }
            // The SIS card of older patients: its key is what a one-off fix blanks.
            if (age >= 25 && rng.chance(0.45))
                v.insert(QStringLiteral("CLESIS"),
                         QString::number(rng.between(100000000, 999999999)) + QString::number(rng.below(10)));
            if (v.value(QStringLiteral("DMG")).toBool())
                v.insert(QStringLiteral("DATE_DMG"), at(created.date()));
            if (created.date() >= QDate(2018, 5, 25) || rng.chance(0.5)) {
                v.insert(QStringLiteral("CONSENTEMENT_RGPD"), true);
                v.insert(QStringLiteral("DATE_CONSENTEMENT"), at(std::max(created.date(), QDate(2018, 5, 25))));
            }
            if (created.date() < m_start.addYears(1) && rng.chance(0.5))
                v.insert(QStringLiteral("NUM_DOSSIER_PAPIER"),
                         QStringLiteral("D%1").arg(p.number, 5, 10, QLatin1Char('0')));
            if (rng.chance(0.04))
                v.insert(QStringLiteral("RECOMMANDE_PAR"), QString::fromUtf8(rng.pick(all(surnames))) +
                                                               QLatin1Char(' ') +
                                                               QString::fromUtf8(rng.pick(all(womenNames))));
            if (age < 12 && rng.chance(0.3))
                v.insert(QStringLiteral("NOTES_ACCUEIL"), QStringLiteral("Accompagné d'un parent"));
            writer.add(v);
        }
        db.exec(QStringLiteral("COMMIT"));
    }

    void writePatientSettings(sql::Database& db)
    {
        db.exec(QStringLiteral("BEGIN"));
        NamedWriter writer(db, QStringLiteral("parapat"));
        writer.add({{"ID", 1},
                    {"NOM_CABINET", QString::fromUtf8(practiceName)},
                    {"NUMERO_LICENCE", QStringLiteral("PXD-2011-0457")},
                    {"VERSION_BASE", QStringLiteral("8.6.7")},
                    {"DERNIER_NUMPAT", m_options.patients},
                    {"DERNIER_NUMSOIN", m_options.treatments}});
        db.exec(QStringLiteral("COMMIT"));
    }

    void writeSettings()
    {
        Rng rng(m_options.seed, PatientStream + 200);
        sql::Database db = openDatabase(path("parametres.mdb"), QStringLiteral("parametres"));
        db.exec(QStringLiteral("BEGIN"));
        NamedWriter writer(db, QStringLiteral("parapat"));
        writer.add({
            {"ID", 1},
            {"LANGUE", QStringLiteral("FR")},
            {"DEVISE", QStringLiteral("EUR")},
            {"TVA", 21.0},
            {"IMPRIMANTE_FACTURES", QStringLiteral("HP LaserJet Pro M404")},
            {"IMPRIMANTE_ATTESTATIONS", QStringLiteral("Brother HL-L2350DW")},
            {"MARGE_GAUCHE", 10},
            {"MARGE_HAUT", 15},
            {"FORMAT_DATE", QStringLiteral("dd/MM/yyyy")},
            {"CHEMIN_RADIOS", QStringLiteral("c:\\praxidome\\radios\\")},
            {"CHEMIN_SAUVEGARDE", QStringLiteral("d:\\sauvegardes\\praxidome\\")},
            {"SAUVEGARDE_AUTO", true},
            {"DELAI_RAPPEL", 6},
            {"MODELE_RAPPEL", QStringLiteral("c:\\praxidome\\mails\\rappel.htm")},
            {"SERVEUR_MAIL", QStringLiteral("relay.proximus.be")},
            {"NOM_CABINET", QString::fromUtf8(practiceName)},
            {"ADRESSE_CABINET", QString::fromUtf8(practiceStreet)},
            {"LOCALITE_CABINET", QString::fromUtf8(practiceCity)},
            {"TELEPHONE_CABINET", QStringLiteral("02 354 12 87")},
            {"EMAIL_CABINET", QStringLiteral("accueil@dupont-dentistes.be")},
            {"NOMBRE_POSTES", 3},
            {"STATION", m_options.client ? QStringLiteral("CLIENT") : QStringLiteral("SERVEUR")},
            {"EFACT_ACTIF", true},
            {"EFACT_NUMERO", QStringLiteral("EF0004512")},
            {"EATTEST_ACTIF", true},
            {"CERTIFICAT", QStringLiteral("c:\\praxidome\\ASSURABILITY\\P12\\PRD\\dupont.acc-p12")},
            {"MYCARENET_UTILISATEUR",
             inamiNumber(dentists[0].inami, dentists[0].qualification).remove(QLatin1Char('-'))},
            {"ASSURABILITE_ACTIF", true},
            {"CHEMIN_JAVA", QStringLiteral("C:\\Program Files\\Java\\jre1.8.0_271\\bin\\javaw.exe")},
            {"TAILLE_POLICE", 10},
            {"COULEUR_FOND", 0xE0E0E0},
            {"AGENDA_DEBUT", QStringLiteral("08:00")},
            {"AGENDA_FIN", QStringLiteral("19:00")},
            {"AGENDA_PAS", 15},
            {"AGENDA_SAMEDI", true},
            {"FACTURE_NUMERO", 2417},
            {"FACTURE_PREFIXE", QStringLiteral("F")},
            {"RECU_NUMERO", 8734},
            {"ATTESTATION_NUMERO", 15230},
            {"NOTE_HONORAIRES", QStringLiteral("Honoraires payables au comptant ou par virement sous 15 jours.")},
            {"LOGO", QStringLiteral("c:\\praxidome\\logo.bmp")},
            {"BANQUE", iban(rng)},
            {"BIC", QStringLiteral("GEBABEBB")},
            {"NUMERO_BCE", QStringLiteral("0456.789.123")},
            {"CONVENTIONNE", true},
            {"ACCREDITE", true},
            {"DERNIERE_SAUVEGARDE", at(m_today.addDays(-1), 22, 30)},
            {"DERNIERE_VERIF", at(m_today.addDays(-12), 18, 5)},
            {"MODE_DEMO", false},
            {"SMS_ACTIF", false},
            {"SMS_EXPEDITEUR", QStringLiteral("DUPONT")},
            {"RAPPEL_SMS_JOURS", 2},
            {"DOSSIER_SCANS", QStringLiteral("c:\\praxidome\\scans\\")},
            {"DOSSIER_DOCUMENTS", QStringLiteral("c:\\praxidome\\documents\\")},
            {"LECTEUR_CARTE", QStringLiteral("ACS ACR38U")},
            {"PORT_LECTEUR", 0},
            {"ODONTOGRAMME_STYLE", 1},
            {"FDI", true},
            {"NUMERO_MAJ", QStringLiteral("37")},
        });
        db.exec(QStringLiteral("COMMIT"));
    }

    void writeOrtho()
    {
        Rng rng(m_options.seed, OrthoStream);
        sql::Database db = openDatabase(path("pannexe.mdb"), QStringLiteral("pannexe"));
        db.exec(QStringLiteral("BEGIN"));
        NamedWriter writer(db, QStringLiteral("ortho"));
        if (m_options.instaMarker) {
            writer.add({{"numpat", QStringLiteral("Insta")},
                        {"DATEDEBUT", at(installedAt(m_options).date())},
                        {"DATEDERNIEREMAJ", at(previousUpdateDay(m_options))},
                        {"DATEVERSION", QStringLiteral("01/07/2020")},
                        {"NUMEROMAJ", QStringLiteral("37")}});
        }
        QList<const Patient*> young;
        for (const Patient& p : m_patients) {
            const int age = p.birth.daysTo(m_today) / 365;
            if (age >= 9 && age <= 17)
                young.append(&p);
        }
        rng.shuffle(young);
        const int count = std::min<int>(int(young.size()), std::clamp(m_options.patients / 40, 3, 200));
        static const char* const classes[] = {"I", "II/1", "II/2", "III"};
        static const char* const appliances[] = {"Multibagues vestibulaires", "Appareil amovible", "Gouttières",
                                                 "Disjoncteur", "Activateur"};
        const int span = std::max<int>(1, int(m_start.daysTo(m_today)) - 60);
        for (int i = 0; i < count; ++i) {
            const Patient& p = *young[i];
            const QDate begin = m_start.addDays(rng.below(span));
            const int duration = rng.between(24, 36);
            const QDate plannedEnd = begin.addMonths(duration);
            const double fee = cents(1400 + rng.below(900));
            QVariantMap v{
                {"numpat", QString::number(p.number)},
                {"DATEDEBUT", at(begin)},
                {"CLASSE_ANGLE", QString::fromUtf8(rng.pick(all(classes)))},
                {"TYPE_APPAREIL", QString::fromUtf8(rng.pick(all(appliances)))},
                {"MAXILLAIRE", true},
                {"MANDIBULE", rng.chance(0.6)},
                {"DATE_ACCORD", at(begin.addDays(-rng.between(10, 40)))},
                {"NUMERO_ACCORD",
                 QStringLiteral("ORT-%1-%2").arg(begin.year()).arg(rng.between(1, 9999), 5, 10, QLatin1Char('0'))},
                {"FORFAIT", fee},
                {"MENSUALITE", cents(fee / duration)},
                {"DUREE_MOIS", duration},
                {"DATE_FIN_PREVUE", at(plannedEnd)},
                {"ORTHODONTISTE", QString::fromUtf8(dentists[2].name)}};
            if (plannedEnd < m_today) {
                v.insert(QStringLiteral("DATE_FIN_REELLE"), at(plannedEnd.addDays(rng.between(-20, 60))));
                v.insert(QStringLiteral("CONTENTION"), true);
            }
            if (rng.chance(0.3))
                v.insert(QStringLiteral("REMARQUE"), QStringLiteral("Port des élastiques irrégulier"));
            // One check-up a month, as far as the treatment has gone.
            for (int month = 1; month <= 61; ++month) {
                const QDate visit = begin.addMonths(month).addDays(rng.between(-5, 5));
                if (visit > m_today || visit > plannedEnd.addMonths(1))
                    break;
                v.insert(QStringLiteral("CONTROLE_%1").arg(month, 2, 10, QLatin1Char('0')), at(visit, 16, 30));
            }
            writer.add(v);
        }
        db.exec(QStringLiteral("COMMIT"));
    }

    void writeReminders()
    {
        Rng rng(m_options.seed, ReminderStream);
        sql::Database db = openDatabase(path("rappels.mdb"), QStringLiteral("rappels"));
        db.exec(QStringLiteral("BEGIN"));
        if (!m_patients.empty()) {
            NamedWriter certificates(db, QStringLiteral("Attestationsdifferees"));
            const int count = std::max(3, m_options.patients / 15);
            for (int i = 0; i < count; ++i) {
                const Patient& p = m_patients[size_t(rng.below(int(m_patients.size())))];
                const Place& place = places[p.place];
                const QDate day = m_today.addDays(-rng.below(90));
                certificates.add({{"NUMATTEST", i + 1},
                                  {"NUMPAT", p.number},
                                  {"NOM", fullName(p)},
                                  {"ADRESSE", p.address},
                                  {"CODEPOSTAL", QString::fromUtf8(place.postcode)},
                                  {"LOCALITE", QString::fromUtf8(place.locality)},
                                  {"DATE_SOIN", at(day)},
                                  {"MONTANT", cents(27.13 + rng.below(9000) / 100.0)},
                                  {"ENVOYEE", day < m_today.addDays(-30)}});
            }
        }
        NamedWriter visits(db, QStringLiteral("rappelsvisite"));
        int number = 0;
        for (const Patient& p : m_patients) {
            if (!p.last)
                continue;
            const QDate due = fromSeconds(p.last).date().addMonths(6);
            if (due < m_today.addDays(-30) || due > m_today.addDays(60))
                continue;
            const Place& place = places[p.place];
            visits.add({{"NUMRAPPEL", ++number},
                        {"NUMPAT", p.number},
                        {"NOM", fullName(p)},
                        {"ADRESSE", p.address},
                        {"CODEPOSTAL", QString::fromUtf8(place.postcode)},
                        {"LOCALITE", QString::fromUtf8(place.locality)},
                        {"DATE_RAPPEL", at(due)},
                        {"ENVOYE", due <= m_today && rng.chance(0.7)}});
        }
        db.exec(QStringLiteral("COMMIT"));
    }

    void writeRejections()
    {
        sql::Database db = openDatabase(path("etarification.mdb"), QStringLiteral("etarification"));
        db.exec(QStringLiteral("BEGIN"));
        NamedWriter writer(db, QStringLiteral("REJETS"));
        for (const Rejection& r : rejections)
            writer.add({{"CODE", QString::fromUtf8(r.code)}, {"DESIGNATION", QString::fromUtf8(r.text)}});
        db.exec(QStringLiteral("COMMIT"));
    }

    QString m_folder;
    const Options& m_options;
    const NomenclatureTables& m_codes;
    QDate m_today;
    QDate m_start;
    std::array<Period, 10> m_periods{};
    std::vector<Patient> m_patients;
};

} // namespace

// "3-12345-67-890": profession, number, check digits, qualification.
QString inamiNumber(int number, const char* qualification)
{
    const QString base = QStringLiteral("3%1").arg(number, 5, 10, QLatin1Char('0'));
    const int check = 97 - mod97(base);
    return QStringLiteral("3-%1-%2-%3")
        .arg(number, 5, 10, QLatin1Char('0'))
        .arg(check, 2, 10, QLatin1Char('0'))
        .arg(QString::fromUtf8(qualification));
}

void writePractice(const QString& praxidome, const Options& options, const NomenclatureTables& codes)
{
    Practice(praxidome, options, codes).write();
}

} // namespace maj::sample::detail
