#include "SampleDetail.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QtEndian>

#include <array>

namespace maj::sample::detail {

namespace {

// Little-endian, as the file formats written here store their numbers.
template <typename T> void putLittle(QByteArray& out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

void put16(QByteArray& out, quint16 value)
{
    putLittle(out, value);
}

void put32(QByteArray& out, quint32 value)
{
    putLittle(out, value);
}

void put64(QByteArray& out, quint64 value)
{
    putLittle(out, value);
}

void put32be(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

quint32 crc32(const QByteArray& data)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : data)
        crc = table[(crc ^ quint8(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

quint16 dosTime(const QDateTime& t)
{
    return quint16(t.time().hour() << 11 | t.time().minute() << 5 | t.time().second() / 2);
}

quint16 dosDate(const QDateTime& t)
{
    return quint16((t.date().year() - 1980) << 9 | t.date().month() << 5 | t.date().day());
}

// A zip archive of stored (uncompressed) entries: what a jar is.
QByteArray zip(const QList<std::pair<QByteArray, QByteArray>>& entries, const QDateTime& when)
{
    QByteArray out, directory;
    for (const auto& [name, data] : entries) {
        const quint32 offset = quint32(out.size());
        const quint32 crc = crc32(data);
        put32(out, 0x04034b50);
        put16(out, 10); // version needed
        put16(out, 0);  // flags
        put16(out, 0);  // stored
        put16(out, dosTime(when));
        put16(out, dosDate(when));
        put32(out, crc);
        put32(out, quint32(data.size()));
        put32(out, quint32(data.size()));
        put16(out, quint16(name.size()));
        put16(out, 0);
        out += name;
        out += data;

        put32(directory, 0x02014b50);
        put16(directory, 20); // made by
        put16(directory, 10);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, dosTime(when));
        put16(directory, dosDate(when));
        put32(directory, crc);
        put32(directory, quint32(data.size()));
        put32(directory, quint32(data.size()));
        put16(directory, quint16(name.size()));
        put16(directory, 0); // extra
        put16(directory, 0); // comment
        put16(directory, 0); // disk
        put16(directory, 0); // internal attributes
        put32(directory, 0); // external attributes
        put32(directory, offset);
        directory += name;
    }
    const quint32 directoryOffset = quint32(out.size());
    out += directory;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, quint16(entries.size()));
    put16(out, quint16(entries.size()));
    put32(out, quint32(directory.size()));
    put32(out, directoryOffset);
    put16(out, 0);
    return out;
}

// 100 ns ticks since 1601, as Windows stamps files.
quint64 fileTime(const QDateTime& t)
{
    return quint64(t.toMSecsSinceEpoch() + 11644473600000ll) * 10000ull;
}

void putCountedUtf16(QByteArray& out, const QString& text)
{
    put16(out, quint16(text.size()));
    for (QChar c : text)
        put16(out, c.unicode());
}

void fill(QImage& image, int x, int y, int w, int h, QRgb colour)
{
    for (int row = std::max(0, y); row < std::min(image.height(), y + h); ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        for (int col = std::max(0, x); col < std::min(image.width(), x + w); ++col)
            line[col] = colour;
    }
}

void frame(QImage& image, int x, int y, int w, int h, QRgb colour)
{
    fill(image, x, y, w, 1, colour);
    fill(image, x, y + h - 1, w, 1, colour);
    fill(image, x, y, 1, h, colour);
    fill(image, x + w - 1, y, 1, h, colour);
}

} // namespace

QString asciiFold(const QString& text)
{
    QString out;
    for (QChar c : text.normalized(QString::NormalizationForm_D).toLower()) {
        if (c == QChar(0x0153))
            out += QStringLiteral("oe");
        else if (c == QChar(0x00E6))
            out += QStringLiteral("ae");
        else if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || c.isDigit() || c == QLatin1Char('-'))
            out += c;
    }
    return out;
}

QByteArray executable(const QString& version, const QDate& built)
{
    QByteArray out(0x40, '\0');
    out[0] = 'M';
    out[1] = 'Z';
    qToLittleEndian<quint32>(0x80, out.data() + 0x3C);
    out += QByteArray::fromHex("0e1fba0e00b409cd21b8014ccd21");
    out += "This program cannot be run in DOS mode.\r\r\n$";
    out.append(0x80 - out.size(), '\0');
    out += QByteArray("PE\0\0", 4);
    put16(out, 0x014c); // i386
    put16(out, 0);      // sections
    put32(out, quint32(QDateTime(built, QTime(12, 0), Qt::UTC).toSecsSinceEpoch()));
    put32(out, 0);
    put32(out, 0);
    put16(out, 0xE0);   // optional header size
    put16(out, 0x0102); // executable, 32-bit
    QByteArray optional(0xE0, '\0');
    qToLittleEndian<quint16>(0x10B, optional.data());  // PE32
    optional[2] = 6;                                   // linker version
    qToLittleEndian<quint16>(2, optional.data() + 68); // Windows GUI subsystem
    out += optional;
    out += QStringLiteral("\nPraxidome %1 - exécutable de démonstration, compilé le %2\n")
               .arg(version, built.toString(QStringLiteral("dd/MM/yyyy")))
               .toUtf8();
    out.append(4096 - out.size() % 4096, '\0');
    return out;
}

QByteArray helpPage(const QString& version, const QDate& edition)
{
    return QStringLiteral("<!DOCTYPE html>\r\n"
                          "<html lang=\"fr\">\r\n<head>\r\n<meta charset=\"utf-8\">\r\n"
                          "<title>Aide de Praxidome %1</title>\r\n</head>\r\n<body>\r\n"
                          "<h1>Praxidome %1 : aide en ligne</h1>\r\n"
                          "<p>Édition du %2.</p>\r\n"
                          "<h2>Fiche patient</h2>\r\n"
                          "<p>La fiche patient reprend l'identité, la mutuelle et les antécédents médicaux. "
                          "Lisez la carte d'identité électronique pour compléter les données automatiquement.</p>\r\n"
                          "<h2>Attestations de soins</h2>\r\n"
                          "<p>Les attestations différées sont imprimées depuis le menu <b>Attestations</b>. "
                          "Avec eAttest, elles sont envoyées à la mutuelle par MyCareNet.</p>\r\n"
                          "<h2>Nomenclature</h2>\r\n"
                          "<p>Chaque code de la nomenclature porte une abréviation unique. "
                          "Après une mise à jour, corrigez les abréviations signalées en double.</p>\r\n"
                          "<h2>Mise à jour</h2>\r\n"
                          "<p>Fermez Praxidome sur tous les postes avant de lancer la mise à jour, "
                          "d'abord sur le serveur puis sur chaque poste client.</p>\r\n"
                          "<p>Assistance Norvix : du lundi au vendredi, de 9 h à 17 h.</p>\r\n"
                          "</body>\r\n</html>\r\n")
        .arg(version, edition.toString(QStringLiteral("dd/MM/yyyy")))
        .toUtf8();
}

QByteArray installLog(const QDateTime& installed)
{
    const QString when = installed.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    return QStringLiteral("Journal d'installation de Praxidome - NE PAS MODIFIER\r\n"
                          "Installation commencée le %1\r\n"
                          "Dossier de l'application : C:\\praxidome\\\r\n"
                          "Fichier copié : C:\\praxidome\\praxidome.exe\r\n"
                          "Fichier copié : C:\\praxidome\\pat.mdb\r\n"
                          "Fichier copié : C:\\praxidome\\parametres.mdb\r\n"
                          "Fichier copié : C:\\praxidome\\aide\\aide.htm\r\n"
                          "Composant enregistré : C:\\Windows\\SysWOW64\\MSINET.OCX\r\n"
                          "Raccourci créé : Praxidome\r\n"
                          "Installation terminée avec succès\r\n")
        .arg(when)
        .toLatin1();
}

QByteArray jar(const QString& name, const QString& version, const QDateTime& built)
{
    const QByteArray manifest = QStringLiteral("Manifest-Version: 1.0\r\n"
                                               "Implementation-Title: %1\r\n"
                                               "Implementation-Version: %2\r\n"
                                               "Implementation-Vendor: Norvix\r\n"
                                               "Main-Class: be.norvix.mycarenet.Proxy\r\n"
                                               "Build-Date: %3\r\n\r\n")
                                    .arg(name, version, built.toString(Qt::ISODate))
                                    .toUtf8();
    const QByteArray properties =
        QStringLiteral("version=%1\nendpoint=https://services.mycarenet.invalid/\n").arg(version).toUtf8();
    return zip(
        {{"META-INF/", {}}, {"META-INF/MANIFEST.MF", manifest}, {"be/norvix/mycarenet/version.properties", properties}},
        built);
}

// An empty Java keystore, sealed with its password as the format does (SHA-1 over the password in
// UTF-16, the fixed phrase and the content). Each edition has its own password, so the release's
// stores differ from the installed ones.
QByteArray keystore(const QString& password)
{
    QByteArray body;
    put32be(body, 0xFEEDFEED);
    put32be(body, 2); // version
    put32be(body, 0); // entries
    QCryptographicHash sha1(QCryptographicHash::Sha1);
    for (QChar c : password) {
        const char pair[2] = {char(c.unicode() >> 8), char(c.unicode() & 0xFF)};
        sha1.addData(QByteArrayView(pair, 2));
    }
    sha1.addData(QByteArrayView("Mighty Aphrodite"));
    sha1.addData(body);
    return body + sha1.result();
}

// A shell link to the remote assistance program: header, name, relative path, working folder.
QByteArray shortcut()
{
    QByteArray out;
    put32(out, 0x4C);
    out += QByteArray::fromHex("0114020000000000c000000000000046");
    put32(out, 0x04 | 0x08 | 0x10 | 0x80); // name, relative path, working folder, unicode
    put32(out, 0x20);                      // archive
    const QDateTime stamp(QDate(2020, 11, 23), QTime(14, 5, 12), Qt::UTC);
    put64(out, fileTime(stamp));
    put64(out, fileTime(stamp));
    put64(out, fileTime(stamp));
    put32(out, 4815872); // target size
    put32(out, 0);       // icon
    put32(out, 1);       // shown normally
    put16(out, 0);       // hot key
    put16(out, 0);
    put32(out, 0);
    put32(out, 0);
    putCountedUtf16(out, QStringLiteral("Assistance à distance Praxidome"));
    putCountedUtf16(out, QStringLiteral("..\\..\\..\\praxidome\\PraxidomeAssistance.exe"));
    putCountedUtf16(out, QStringLiteral("C:\\praxidome"));
    put32(out, 0); // end of the extra data
    return out;
}

// A scanned form page (the periodontal screening form): a title band and the boxes of the six
// sextants on page 1, ruled lines on page 2. The edition tints the band.
QByteArray formImage(int page, int edition)
{
    QImage image(248, 351, QImage::Format_RGB32);
    image.fill(qRgb(255, 255, 255));
    fill(image, 0, 0, 248, 34, edition > 2020 ? qRgb(20, 70, 140) : qRgb(60, 60, 110));
    fill(image, 12, 42, 150, 6, qRgb(90, 90, 90));
    if (page == 1) {
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 3; ++c)
                frame(image, 24 + c * 68, 80 + r * 90, 60, 70, qRgb(30, 30, 30));
        for (int i = 0; i < 5; ++i)
            fill(image, 24, 280 + i * 12, 200, 1, qRgb(150, 150, 150));
    } else {
        for (int i = 0; i < 22; ++i)
            fill(image, 16, 70 + i * 12, 216, 1, qRgb(150, 150, 150));
        frame(image, 150, 320, 82, 22, qRgb(30, 30, 30));
    }
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPG", 85))
        throw SampleError(QStringLiteral("cannot encode a JPEG image: Qt's jpeg image plugin is missing"));
    return out;
}

QByteArray reminderTemplate()
{
    return QStringLiteral("<html><body>\r\n"
                          "<p>Bonjour [PRENOM] [NOM],</p>\r\n"
                          "<p>Votre dernier contrôle dentaire date du [DERNIERE_VISITE]. "
                          "Nous vous invitons à prendre rendez-vous pour votre visite de contrôle.</p>\r\n"
                          "<p>Cabinet dentaire Dupont &amp; Fils - 02 354 12 87</p>\r\n"
                          "</body></html>\r\n")
        .toUtf8();
}

} // namespace maj::sample::detail
