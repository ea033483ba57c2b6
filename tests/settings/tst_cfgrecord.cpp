// The settings record and csv.cfg: the byte layout, every field, and the file's
// reading and saving as the window sees them.
#include "settings/appsettings.h"
#include "settings/cfgrecord.h"
#include "settings/settingsplace.h"
#include "unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace settings;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

void putInt(QByteArray& b, int offset, qint32 v) {
    for (int i = 0; i < 4; ++i)
        b[offset + i] = static_cast<char>((static_cast<quint32>(v) >> (8 * i)) & 0xff);
}

void putText(QByteArray& b, int offset, const QByteArray& text) {
    b[offset] = static_cast<char>(text.size());
    for (int i = 0; i < text.size(); ++i)
        b[offset + 1 + i] = text[i];
}

// A record of known content, built byte by byte the way csv.cfg lays it out.
QByteArray knownRecord() {
    QByteArray b(kCfgRecordSize, '\0');
    // Noise everywhere first: the bytes after each text's length must not matter.
    for (int i = 0; i < b.size(); ++i)
        b[i] = static_cast<char>(0xA0 + i % 37);
    putInt(b, 0, 41);
    putInt(b, 4, 12);
    putInt(b, 8, -1);
    putText(b, 12, "/home/logger/csv");
    putText(b, 97, "ftp.example.com");
    putText(b, 162, "640");
    putText(b, 227, "s3cr\xe9t-passwd!");
    const qint32 mul[6] = {1, 999, 2, 50, 100, 0};
    for (int i = 0; i < 6; ++i)
        putInt(b, 292 + 4 * i, mul[i]);
    const char* names[7] = {"Outdoor", "Boiler", "Pulses", "SQ", "Pressure", "", "Level \xb0"};
    for (int i = 0; i < 7; ++i)
        putText(b, 316 + 41 * i, names[i]);
    b[603] = '\x5a';
    const double day = 40148.0; // 1 December 2009
    quint64 bits;
    std::memcpy(&bits, &day, 8);
    for (int i = 0; i < 8; ++i)
        b[604 + i] = static_cast<char>((bits >> (8 * i)) & 0xff);
    for (int i = 612; i < 636; ++i)
        b[i] = static_cast<char>(i);
    return b;
}

} // namespace

class TestCfgRecord : public QObject {
    Q_OBJECT

private slots:
    void decodesEveryFieldAtItsOffset();
    void encodesByteForByte();
    void roundTripsEveryFieldThroughTheFile();
    void cutsLongTexts_data();
    void cutsLongTexts();
    void oversizedLengthByteGivesTheRoom_data();
    void oversizedLengthByteGivesTheRoom();
    void dayNumbers_data();
    void dayNumbers();

    void missingFileIsAnAccessError();
    void shortFileFillsTheStart();
    void longerFileUsesTheFirst636Bytes();
    void readOnlyFileIsRead();
    void unwritableFolderLeavesOldFileWhole();
    void failedWriteLeavesOldFileWhole();
    void savedFileIsOwnerOnly();
    void settingsPlace();
    void startFolderFilesAreChecked_data();
    void startFolderFilesAreChecked();
};

void TestCfgRecord::decodesEveryFieldAtItsOffset() {
    const CFGRecord r = CFGRecord::fromBytes(knownRecord());
    QCOMPARE(r.tLevel(), 41);
    QCOMPARE(r.aLevel(), 12);
    QCOMPARE(r.driveIndex(), -1);
    QCOMPARE(r.folder(), QStringLiteral("/home/logger/csv"));
    QCOMPARE(r.host(), QStringLiteral("ftp.example.com"));
    QCOMPARE(r.userId(), QStringLiteral("640"));
    QCOMPARE(r.password(), QString::fromLatin1("s3cr\xe9t-passwd!"));
    QCOMPARE(r.multiplier(Multiplier::A1Coarse), 1);
    QCOMPARE(r.multiplier(Multiplier::A1Fine), 999);
    QCOMPARE(r.multiplier(Multiplier::A2Coarse), 2);
    QCOMPARE(r.multiplier(Multiplier::A2Fine), 50);
    QCOMPARE(r.multiplier(Multiplier::A3Coarse), 100);
    QCOMPARE(r.multiplier(Multiplier::A3Fine), 0);
    QCOMPARE(r.channelName(Channel::T1), QStringLiteral("Outdoor"));
    QCOMPARE(r.channelName(Channel::T2), QStringLiteral("Boiler"));
    QCOMPARE(r.channelName(Channel::C1), QStringLiteral("Pulses"));
    QCOMPARE(r.channelName(Channel::C2), QStringLiteral("SQ"));
    QCOMPARE(r.channelName(Channel::A1), QStringLiteral("Pressure"));
    QCOMPARE(r.channelName(Channel::A2), QString());
    QCOMPARE(r.channelName(Channel::A3), QString::fromLatin1("Level \xb0"));
    QCOMPARE(r.copyFromDate(), 40148.0);
    QCOMPARE(DayNumberToDate(r.copyFromDate()), QDate(2009, 12, 1));
}

void TestCfgRecord::encodesByteForByte() {
    const QByteArray known = knownRecord();
    // A fresh record set field by field gives the same significant bytes.
    CFGRecord fresh;
    fresh.setTLevel(-7);
    fresh.setHost(QStringLiteral("ab"));
    fresh.setChannelName(Channel::A3, QStringLiteral("x"));
    fresh.setMultiplier(Multiplier::A3Fine, 0x01020304);
    fresh.setCopyFromDate(1.5);
    QByteArray expect(kCfgRecordSize, '\0');
    putInt(expect, 0, -7);
    putText(expect, 97, "ab");
    putText(expect, 562, "x");
    putInt(expect, 312, 0x01020304);
    const QByteArray one5 = QByteArray::fromHex("000000000000F83F"); // 1.5, little-endian
    expect.replace(604, 8, one5);
    QCOMPARE(fresh.toBytes(), expect);

    // A shorter text zero-fills the rest of its room: no tail of an old password
    // stays in the file. Every other byte stays as it was.
    CFGRecord shorter = CFGRecord::fromBytes(known);
    shorter.setHost(QStringLiteral("h"));
    shorter.setPassword(QStringLiteral("pw"));
    QByteArray expectShort = known;
    expectShort.replace(97, 65, QByteArray(65, '\0'));
    putText(expectShort, 97, "h");
    expectShort.replace(227, 65, QByteArray(65, '\0'));
    putText(expectShort, 227, "pw");
    QCOMPARE(shorter.toBytes(), expectShort);
    QCOMPARE(shorter.host(), QStringLiteral("h"));
    QVERIFY(!shorter.toBytes().contains("passwd"));
}

void TestCfgRecord::roundTripsEveryFieldThroughTheFile() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(kCfgFileName);
    QVERIFY(writeAll(path, knownRecord()));

    CFGRecord r;
    QVERIFY(ReadCFGFile(path, r).ok());
    r.setTLevel(55);
    r.setALevel(3);
    r.setDriveIndex(2);
    r.setFolder(QStringLiteral("/data/other"));
    r.setHost(QStringLiteral("logger.example.com"));
    r.setUserId(QStringLiteral("123"));
    r.setPassword(QStringLiteral("abcdefghijklmn"));
    for (int i = 0; i < kMultiplierCount; ++i)
        r.setMultiplier(Multiplier(i), 10 * i + 1);
    for (int i = 0; i < kChannelCount; ++i)
        r.setChannelName(Channel(i), QStringLiteral("Chan %1").arg(i));
    r.setCopyFromDate(DateToDayNumber(QDate(2024, 2, 29)));
    QVERIFY(SaveCFGFile(path, r).ok());

    CFGRecord back;
    const CfgResult res = ReadCFGFile(path, back);
    QCOMPARE(res.status, CfgStatus::Ok);
    QVERIFY(res.errorText.isEmpty());
    QCOMPARE(back.toBytes(), r.toBytes());
    QCOMPARE(back.tLevel(), 55);
    QCOMPARE(back.aLevel(), 3);
    QCOMPARE(back.driveIndex(), 2);
    QCOMPARE(back.folder(), QStringLiteral("/data/other"));
    QCOMPARE(back.host(), QStringLiteral("logger.example.com"));
    QCOMPARE(back.userId(), QStringLiteral("123"));
    QCOMPARE(back.password(), QStringLiteral("abcdefghijklmn"));
    for (int i = 0; i < kMultiplierCount; ++i)
        QCOMPARE(back.multiplier(Multiplier(i)), 10 * i + 1);
    for (int i = 0; i < kChannelCount; ++i)
        QCOMPARE(back.channelName(Channel(i)), QStringLiteral("Chan %1").arg(i));
    QCOMPARE(DayNumberToDate(back.copyFromDate()), QDate(2024, 2, 29));
    // Padding and reserved bytes go back as they were read.
    const QByteArray saved = readAll(path);
    QCOMPARE(saved.size(), kCfgRecordSize);
    QCOMPARE(saved.at(603), knownRecord().at(603));
    QCOMPARE(saved.mid(612), knownRecord().mid(612));
}

void TestCfgRecord::cutsLongTexts_data() {
    QTest::addColumn<int>("field"); // 0 folder, 1 host, 2 user, 3 password, 4 channel A2
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("kept");
    QTest::newRow("host of 70") << 1 << 70 << 64;
    QTest::newRow("host of 64") << 1 << 64 << 64;
    QTest::newRow("user of 65") << 2 << 65 << 64;
    QTest::newRow("password of 200") << 3 << 200 << 64;
    QTest::newRow("folder of 90") << 0 << 90 << 84;
    QTest::newRow("channel of 50") << 4 << 50 << 40;
    QTest::newRow("channel empty") << 4 << 0 << 0;
}

void TestCfgRecord::cutsLongTexts() {
    QFETCH(int, field);
    QFETCH(int, length);
    QFETCH(int, kept);
    QString text;
    for (int i = 0; i < length; ++i)
        text += QChar(u'a' + i % 26);
    CFGRecord r = CFGRecord::fromBytes(knownRecord());
    QString got;
    int offset = 0;
    switch (field) {
    case 0:
        r.setFolder(text), got = r.folder(), offset = 12;
        break;
    case 1:
        r.setHost(text), got = r.host(), offset = 97;
        break;
    case 2:
        r.setUserId(text), got = r.userId(), offset = 162;
        break;
    case 3:
        r.setPassword(text), got = r.password(), offset = 227;
        break;
    default:
        r.setChannelName(Channel::A2, text), got = r.channelName(Channel::A2), offset = 521;
        break;
    }
    QCOMPARE(got, text.left(kept));
    QCOMPARE(int(r.bytes()[offset]), kept);
}

void TestCfgRecord::oversizedLengthByteGivesTheRoom_data() {
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("room");
    QTest::addColumn<int>("lengthByte");
    QTest::newRow("folder 85") << 12 << 84 << 85;
    QTest::newRow("folder 255") << 12 << 84 << 255;
    QTest::newRow("host 65") << 97 << 64 << 65;
    QTest::newRow("password 255") << 227 << 64 << 255;
    QTest::newRow("channel T1 41") << 316 << 40 << 41;
    QTest::newRow("channel A3 255") << 562 << 40 << 255;
}

void TestCfgRecord::oversizedLengthByteGivesTheRoom() {
    QFETCH(int, offset);
    QFETCH(int, room);
    QFETCH(int, lengthByte);
    QByteArray b = knownRecord();
    b[offset] = static_cast<char>(lengthByte);
    const CFGRecord r = CFGRecord::fromBytes(b);
    const QString expect = QString::fromLatin1(b.mid(offset + 1, room));
    QString got;
    switch (offset) {
    case 12:
        got = r.folder();
        break;
    case 97:
        got = r.host();
        break;
    case 227:
        got = r.password();
        break;
    case 316:
        got = r.channelName(Channel::T1);
        break;
    default:
        got = r.channelName(Channel::A3);
        break;
    }
    QCOMPARE(got.size(), room);
    QCOMPARE(got, expect);
    // The neighbouring fields still read as before.
    QCOMPARE(r.tLevel(), 41);
    QCOMPARE(r.userId(), offset == 162 ? QString() : QStringLiteral("640"));
    QCOMPARE(r.copyFromDate(), 40148.0);
}

void TestCfgRecord::dayNumbers_data() {
    QTest::addColumn<double>("day");
    QTest::addColumn<QDate>("date");
    QTest::newRow("zero") << 0.0 << QDate(1899, 12, 30);
    QTest::newRow("1 Jan 1900") << 2.0 << QDate(1900, 1, 1);
    QTest::newRow("1 Dec 2009") << 40148.0 << QDate(2009, 12, 1);
    QTest::newRow("time of day ignored") << 40148.75 << QDate(2009, 12, 1);
    QTest::newRow("before day zero") << -1.0 << QDate(1899, 12, 29);
    QTest::newRow("not a number") << std::nan("") << QDate();
    QTest::newRow("infinite") << HUGE_VAL << QDate();
    QTest::newRow("absurd") << 1e300 << QDate();
}

void TestCfgRecord::dayNumbers() {
    QFETCH(double, day);
    QFETCH(QDate, date);
    QCOMPARE(DayNumberToDate(day), date);
    if (date.isValid()) QCOMPARE(DayNumberToDate(DateToDayNumber(date)), date);
}

void TestCfgRecord::missingFileIsAnAccessError() {
    QTemporaryDir dir;
    CFGRecord r = CFGRecord::fromBytes(knownRecord());
    const CfgResult res = ReadCFGFile(dir.filePath(kCfgFileName), r);
    QCOMPARE(res.status, CfgStatus::CannotOpen);
    QCOMPARE(res.errorText, QStringLiteral("csv.cfg access error"));
    QCOMPARE(r.toBytes(), knownRecord()); // untouched

    // A folder of that name cannot be read either.
    QVERIFY(QDir(dir.path()).mkdir(kCfgFileName));
    QCOMPARE(ReadCFGFile(dir.filePath(kCfgFileName), r).status, CfgStatus::CannotOpen);
    QCOMPARE(r.toBytes(), knownRecord());
}

void TestCfgRecord::shortFileFillsTheStart() {
    QTemporaryDir dir;
    const QString path = dir.filePath(kCfgFileName);
    const QByteArray known = knownRecord();
    QVERIFY(writeAll(path, known.left(100)));
    CFGRecord r; // all zero, as at start-up
    const CfgResult res = ReadCFGFile(path, r);
    QCOMPARE(res.status, CfgStatus::ShortFile);
    QCOMPARE(res.errorText, QStringLiteral("Read beyond end of file"));
    QCOMPARE(r.toBytes(), known.left(100) + QByteArray(kCfgRecordSize - 100, '\0'));
    QCOMPARE(readAll(path), known.left(100)); // the file is not touched

    QVERIFY(writeAll(path, QByteArray()));
    CFGRecord empty;
    QCOMPARE(ReadCFGFile(path, empty).status, CfgStatus::ShortFile);
    QCOMPARE(empty, CFGRecord());
}

void TestCfgRecord::longerFileUsesTheFirst636Bytes() {
    QTemporaryDir dir;
    const QString path = dir.filePath(kCfgFileName);
    QVERIFY(writeAll(path, knownRecord() + QByteArray(64, '\x7f')));
    CFGRecord r;
    QVERIFY(ReadCFGFile(path, r).ok());
    QCOMPARE(r.toBytes(), knownRecord());
}

void TestCfgRecord::readOnlyFileIsRead() {
    QTemporaryDir dir;
    QVERIFY(testsupport::OpenForOthers(dir.path()));
    const QString path = dir.filePath(kCfgFileName);
    QVERIFY(writeAll(path, knownRecord()));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    CFGRecord r;
    CfgResult res;
    {
        testsupport::AsUnprivileged user;
        if (!user.effective()) QSKIP("cannot run as an ordinary user");
        res = ReadCFGFile(path, r);
    }
    QCOMPARE(res.status, CfgStatus::Ok);
    QCOMPARE(r.host(), QStringLiteral("ftp.example.com"));
}

void TestCfgRecord::unwritableFolderLeavesOldFileWhole() {
    QTemporaryDir dir;
    const QString folder = dir.filePath("settings");
    QVERIFY(QDir().mkdir(folder));
    const QString path = QDir(folder).filePath(kCfgFileName);
    QVERIFY(writeAll(path, knownRecord()));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                              QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    QVERIFY(testsupport::OpenForOthers(dir.path()));
    CFGRecord r;
    r.setHost(QStringLiteral("new.example.com"));
    CfgResult res;
    {
        testsupport::AsUnprivileged user;
        if (!user.effective()) QSKIP("cannot run as an ordinary user");
        res = SaveCFGFile(path, r);
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(res.status, CfgStatus::CannotCreate);
    QCOMPARE(res.errorText, QStringLiteral("csv.cfg access error"));
    QCOMPARE(readAll(path), knownRecord());
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{kCfgFileName});

    // A folder that does not exist is the same to the window.
    QCOMPARE(SaveCFGFile(dir.filePath("missing/csv.cfg"), r).status, CfgStatus::CannotCreate);
}

void TestCfgRecord::failedWriteLeavesOldFileWhole() {
    // A disk that fills up while saving: the file size limit makes every write
    // past 100 bytes fail, as a full disk would.
    QTemporaryDir dir;
    const QString path = dir.filePath(kCfgFileName);
    QVERIFY(writeAll(path, knownRecord()));
    CFGRecord r;
    r.setHost(QStringLiteral("new.example.com"));

    rlimit old{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &old) == 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 100;
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
    const CfgResult res = SaveCFGFile(path, r);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(res.status, CfgStatus::WriteFailed);
    QVERIFY(!res.errorText.isEmpty());
    QVERIFY(res.errorText != QLatin1String(kCfgAccessError));
    QCOMPARE(readAll(path), knownRecord());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{kCfgFileName});
}

void TestCfgRecord::savedFileIsOwnerOnly() {
    QTemporaryDir dir;
    const QString path = dir.filePath(kCfgFileName);
    const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    const auto mask = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                      QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
                      QFile::ExeOther;
    CFGRecord r;
    r.setPassword(QStringLiteral("abcdefghijklmn"));
    QVERIFY(SaveCFGFile(path, r).ok());
    QCOMPARE(QFile::permissions(path) & mask, ownerOnly);
    QCOMPARE(readAll(path), r.toBytes());

    // An older, world-readable file is replaced by an owner-only one.
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                            QFile::ReadOther));
    QVERIFY(SaveCFGFile(path, r).ok());
    QCOMPARE(QFile::permissions(path) & mask, ownerOnly);
}

void TestCfgRecord::settingsPlace() {
    QTemporaryDir start, home;
    QVERIFY(start.isValid() && home.isValid());
    const QString config = home.filePath(QStringLiteral(".config/Tervane640"));

    // Without a csv.cfg in the start folder the user's configuration folder holds it,
    // made on first save and readable by the owner only.
    const QString path = SettingsFilePath(start.path(), config);
    QCOMPARE(path, QDir(config).filePath(kCfgFileName));
    QVERIFY(PrepareSettingsFolder(path));
    QVERIFY(SaveCFGFile(path, CFGRecord::fromBytes(knownRecord())).ok());
    QCOMPARE(QFileInfo(config).permissions() & 0x0077, QFileDevice::Permissions());
    QVERIFY(!QFileInfo::exists(start.filePath(kCfgFileName)));

    // An installation that keeps csv.cfg in its start folder goes on using it.
    QVERIFY(writeAll(start.filePath(kCfgFileName), knownRecord()));
    QCOMPARE(SettingsFilePath(start.path(), config), start.filePath(kCfgFileName));
    // A folder of that name is not a settings file.
    QTemporaryDir other;
    QVERIFY(QDir(other.path()).mkdir(kCfgFileName));
    QCOMPARE(SettingsFilePath(other.path(), config), QDir(config).filePath(kCfgFileName));
}

void TestCfgRecord::startFolderFilesAreChecked_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("note"); // a part of the status bar note
    using K = SettingsPlace::Kind;
    QTest::newRow("own file") << "" << int(K::StartFolder) << "";
    QTest::newRow("own file others can read") << "readable" << int(K::StartFolder) << "";
    QTest::newRow("dangling csv.cfg link") << "dangling" << int(K::FirstStart) << "symbolic link";
    QTest::newRow("csv.cfg link to a file") << "link" << int(K::FirstStart) << "symbolic link";
    QTest::newRow("tervane640.ini link beside own csv.cfg")
        << "ini link" << int(K::StartFolder) << "symbolic link";
    QTest::newRow("folder every user can write") << "open folder" << int(K::FirstStart) << "chmod o-w";
    QTest::newRow("sticky folder") << "sticky folder" << int(K::StartFolder) << "";
    QTest::newRow("folder its group can write, a group of others")
        << "foreign group" << int(K::FirstStart) << "chmod g-w";
    QTest::newRow("folder its group can write, a group of the user alone")
        << "foreign private group" << int(K::StartFolder) << "";
    QTest::newRow("another user's folder") << "foreign folder" << int(K::FirstStart) << "belongs to";
    QTest::newRow("another user's file") << "foreign" << int(K::Imported) << "imported";
    QTest::newRow("another user's file, own settings there")
        << "foreign, own" << int(K::Own) << "is not used: your own settings";
}

void TestCfgRecord::startFolderFilesAreChecked() {
    // Another user who can write to a shared start folder plants files there; whatever
    // start-up decides, saving never writes outside the folder it chose, nor through a link.
    QFETCH(QString, setup);
    QFETCH(int, kind);
    QFETCH(QString, note);
    QTemporaryDir top, home;
    const QString start = top.filePath("data"), config = home.filePath(".config/Tervane640");
    const QString victim = home.filePath(".bash_login"); // what a planted link points at
    QVERIFY(QDir().mkpath(start));
    const QString cfg = QDir(start).filePath(kCfgFileName),
                  ini = QDir(start).filePath(AppSettings::kFileName);
    QVERIFY(writeAll(cfg, knownRecord()));
    const uid_t other = 65534;
    const bool asRoot = ::geteuid() == 0;
    if (setup.startsWith("foreign") && !asRoot) QSKIP("giving files to another user needs root");
    if (setup == "readable") QVERIFY(::chmod(cfg.toLocal8Bit(), 0644) == 0);
    if (setup == "dangling" || setup == "link") {
        QVERIFY(QFile::remove(cfg));
        if (setup == "link") QVERIFY(writeAll(victim, knownRecord()));
        QVERIFY(QFile::link(victim, cfg));
    }
    if (setup == "ini link") QVERIFY(QFile::link(victim, ini));
    if (setup == "open folder") QVERIFY(::chmod(start.toLocal8Bit(), 0777) == 0);
    if (setup == "sticky folder") QVERIFY(::chmod(start.toLocal8Bit(), 01777) == 0);
    if (setup == "foreign folder") QVERIFY(::chown(start.toLocal8Bit(), other, other) == 0);
    if (setup.endsWith("group")) {
        // nobody's own group (nogroup) holds another user; root's group holds root alone.
        QVERIFY(::chown(start.toLocal8Bit(), ::geteuid(), setup == "foreign group" ? other : 0) == 0);
        QVERIFY(::chmod(start.toLocal8Bit(), 0775) == 0);
    }
    if (setup.startsWith("foreign,") || setup == "foreign") {
        QVERIFY(writeAll(ini, "[Connection]\nSecurity=Required\n"));
        QVERIFY(::chown(cfg.toLocal8Bit(), other, other) == 0 &&
                ::chown(ini.toLocal8Bit(), other, other) == 0);
        QVERIFY(::chmod(cfg.toLocal8Bit(), 0644) == 0 && ::chmod(ini.toLocal8Bit(), 0644) == 0);
    }
    if (setup == "foreign, own") {
        QVERIFY(QDir().mkpath(config));
        QVERIFY(SaveCFGFile(QDir(config).filePath(kCfgFileName), CFGRecord()).ok());
    }
    const QByteArray victimBefore = readAll(victim);

    const SettingsPlace place = ChooseSettingsPlace(start, config);
    QCOMPARE(int(place.kind), kind);
    if (note.isEmpty())
        QVERIFY2(place.note.isEmpty(), qPrintable(place.note));
    else
        QVERIFY2(place.note.contains(note, Qt::CaseInsensitive), qPrintable(place.note));
    QCOMPARE(place.logOnAtStart(),
             kind == int(SettingsPlace::Kind::StartFolder) || kind == int(SettingsPlace::Kind::Own));
    // A file others could read is the user's alone from now on.
    if (kind == int(SettingsPlace::Kind::StartFolder))
        QCOMPARE(QFileInfo(cfg).permissions() & 0x0077, QFileDevice::Permissions());
    // An import reads the other user's record, and takes their tervane640.ini along once.
    if (kind == int(SettingsPlace::Kind::Imported)) {
        CFGRecord r;
        QVERIFY(ReadCFGFile(place.cfgSource, r).ok());
        QCOMPARE(r.toBytes(), knownRecord());
        QVERIFY(ImportIniFile(place));
        QCOMPARE(AppSettings(QDir(config).filePath(AppSettings::kFileName))
                     .value("Connection/Security")
                     .toString(),
                 QString("Required"));
        QVERIFY(!ImportIniFile(place));
    }

    // Saving as the window does: csv.cfg, then the ini.
    QVERIFY(PrepareSettingsFolder(QDir(place.folder).filePath(kCfgFileName)));
    CFGRecord changed = CFGRecord::fromBytes(knownRecord());
    changed.setPassword("new-secret");
    const CfgResult saved = SaveCFGFile(QDir(place.folder).filePath(kCfgFileName), changed);
    AppSettings app(QDir(place.folder).filePath(AppSettings::kFileName));
    app.addRecentFile("/data/091201.csv");
    QCOMPARE(readAll(victim), victimBefore); // never written through a link
    QCOMPARE(QFileInfo::exists(victim), !victimBefore.isNull());
    if (setup == "ini link") {
        QVERIFY(saved.ok());
        QVERIFY(QFileInfo(ini).isSymLink()); // left as it was, and said
        QVERIFY(app.problem().contains("symbolic link"));
        QVERIFY(app.recentFiles().isEmpty());
        return;
    }
    QVERIFY2(saved.ok(), qPrintable(saved.errorText));
    QCOMPARE(app.recentFiles(), QStringList{"/data/091201.csv"});
    QCOMPARE(QFileInfo(app.path()).permissions() & 0x0077, QFileDevice::Permissions());
    if (kind != int(SettingsPlace::Kind::StartFolder)) {
        QCOMPARE(QDir(place.folder), QDir(config));
        if (!setup.contains("link") && setup != "dangling")
            QCOMPARE(readAll(cfg), knownRecord()); // untouched
    }
}

QTEST_GUILESS_MAIN(TestCfgRecord)
#include "tst_cfgrecord.moc"
