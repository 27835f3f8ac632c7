#include "core/IniDocument.h"

#include <QTest>

using pulsiero::ini::IniDocument;

// The reading and editing rules of the settings file, on documents held in memory.
class TestIniDocument : public QObject {
    Q_OBJECT
private slots:
    void lettura_data();
    void lettura();
    void valoreLungoTagliato();
    void scrittura_data();
    void scrittura();
    void stessoValoreNonCambiaNulla();
    void windows1252ConservatoInScrittura();
    void valoreNonUtf8();
    void capoNelValore();
    void regoleWindows_data();
    void regoleWindows();
};

void TestIniDocument::lettura_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected"); // "<none>" when missing

    QTest::newRow("missing file") << QByteArray() << "S"
                                  << "k"
                                  << "<none>";
    QTest::newRow("plain") << QByteArray("[S]\nk=v\n") << "S"
                           << "k"
                           << "v";
    QTest::newRow("case of names") << QByteArray("[zona]\nPORTA=7\n") << "ZONA"
                                   << "porta"
                                   << "7";
    QTest::newRow("blanks around names") << QByteArray("[ \tS \t]\n \tk \t= v \t\n") << "S"
                                         << "k"
                                         << "v";
    QTest::newRow("empty value") << QByteArray("[S]\nk=\n") << "S"
                                 << "k"
                                 << "";
    QTest::newRow("blank value") << QByteArray("[S]\nk=  \t \n") << "S"
                                 << "k"
                                 << "";
    QTest::newRow("double quotes") << QByteArray("[S]\nk= \"a b\" \n") << "S"
                                   << "k"
                                   << "a b";
    QTest::newRow("single quotes") << QByteArray("[S]\nk='x'\n") << "S"
                                   << "k"
                                   << "x";
    QTest::newRow("unmatched quotes") << QByteArray("[S]\nk=\"x'\n") << "S"
                                      << "k"
                                      << "\"x'";
    QTest::newRow("one pair only") << QByteArray("[S]\nk=\"\"x\"\"\n") << "S"
                                   << "k"
                                   << "\"x\"";
    QTest::newRow("empty quotes") << QByteArray("[S]\nk=\"\"\n") << "S"
                                  << "k"
                                  << "";
    QTest::newRow("value after first =") << QByteArray("[S]\nk=a=b\n") << "S"
                                         << "k"
                                         << "a=b";
    QTest::newRow("no inline comment") << QByteArray("[S]\nk=v ; c\n") << "S"
                                       << "k"
                                       << "v ; c";
    QTest::newRow("line without =") << QByteArray("[S]\nk\n") << "S"
                                    << "k"
                                    << "<none>";
    QTest::newRow("first duplicate key") << QByteArray("[S]\nk=1\nk=2\n") << "S"
                                         << "k"
                                         << "1";
    QTest::newRow("only first section") << QByteArray("[S]\na=1\n[S]\nk=2\n") << "S"
                                        << "k"
                                        << "<none>";
    QTest::newRow("before first section") << QByteArray("k=1\n[S]\n") << "S"
                                          << "k"
                                          << "<none>";
    QTest::newRow("bracket without close") << QByteArray("[S]\n[T\nk=1\n") << "S"
                                           << "k"
                                           << "1";
    QTest::newRow("name ends at last ]") << QByteArray("[a]b]\nk=1\n") << "a]b"
                                         << "k"
                                         << "1";
    QTest::newRow("key of another section") << QByteArray("[S]\n[T]\nk=1\n") << "S"
                                            << "k"
                                            << "<none>";
    QTest::newRow("CRLF") << QByteArray("[S]\r\nk=v\r\n") << "S"
                          << "k"
                          << "v";
    QTest::newRow("CR") << QByteArray("[S]\rk=v\r") << "S"
                        << "k"
                        << "v";
    QTest::newRow("mixed ends") << QByteArray("[S]\r\na=1\rk=v\nz=2") << "S"
                                << "k"
                                << "v";
    QTest::newRow("no final newline") << QByteArray("[S]\nk=v") << "S"
                                      << "k"
                                      << "v";
    QTest::newRow("trailing Ctrl-Z") << QByteArray("[S]\r\nk=v\x1A") << "S"
                                     << "k"
                                     << "v";
    QTest::newRow("Ctrl-Z after newline") << QByteArray("[S]\r\nk=v\r\n\x1A") << "S"
                                          << "k"
                                          << "v";
    QTest::newRow("UTF-8 BOM") << QByteArray("\xEF\xBB\xBF[S]\nk=v\n") << "S"
                               << "k"
                               << "v";
    QTest::newRow("UTF-8 text") << QByteArray("[S]\nk=perché\n") << "S"
                                << "k"
                                << "perché";
    QTest::newRow("Windows-1252 text") << QByteArray("[S]\nk=perch\xE9 \x80\n") << "S"
                                       << "k"
                                       << "perché €";
    QTest::newRow("Windows-1252 shaped like overlong UTF-8")
        << QByteArray("[S]\nk=\xC0\xAF\n") << "S"
        << "k"
        << "À¯";
    QTest::newRow("Windows-1252 shaped like overlong 3-byte UTF-8")
        << QByteArray("[S]\nk=\xE0\x80\xAF\n") << "S"
        << "k"
        << "à€¯";
}

void TestIniDocument::lettura() {
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const auto doc = IniDocument::fromBytes(file.toStdString());
    const auto value = doc.value(section.toStdString(), key.toStdString());
    QCOMPARE(value ? QString::fromStdString(*value) : QStringLiteral("<none>"), expected);
    QCOMPARE(QByteArray::fromStdString(doc.toBytes()), file); // reading changes nothing
}

// The limit counts characters: 255 "è" are 510 bytes and read as 254 characters.
void TestIniDocument::valoreLungoTagliato() {
    std::string accentate;
    for (int i = 0; i < 255; ++i)
        accentate += "è";
    const auto doc = IniDocument::fromBytes("[S]\nk=" + accentate + "\nx=" + std::string(254, 'x'));
    QCOMPARE(QString::fromStdString(*doc.value("S", "k")), QString(254, QChar(0xE8)));
    QCOMPARE(doc.value("S", "x")->size(), std::size_t{254});
    QCOMPARE(doc.value("S", "missing", std::string(255, 'x')).size(), std::size_t{254});
}

void TestIniDocument::scrittura_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("new file") << QByteArray() << "v" << QByteArray("[S]\nk=v\n");
    QTest::newRow("new section at end")
        << QByteArray("[A]\nx=1\n") << "v" << QByteArray("[A]\nx=1\n[S]\nk=v\n");
    QTest::newRow("new section, no final newline")
        << QByteArray("[A]\r\nx=1") << "v" << QByteArray("[A]\r\nx=1\r\n[S]\r\nk=v\r\n");
    QTest::newRow("new key after last line of section")
        << QByteArray("[S]\na=1\n\n[T]\nb=2\n") << "v" << QByteArray("[S]\na=1\nk=v\n\n[T]\nb=2\n");
    QTest::newRow("new key in first of duplicate sections")
        << QByteArray("[S]\na=1\n[S]\nb=2\n") << "v" << QByteArray("[S]\na=1\nk=v\n[S]\nb=2\n");
    QTest::newRow("new key, section without newline")
        << QByteArray("[S]") << "v" << QByteArray("[S]\nk=v\n");
    QTest::newRow("replace keeps spelling") << QByteArray("[ s ]\r\n  K = old\r\n; note\r\n") << "v"
                                            << QByteArray("[ s ]\r\n  K =v\r\n; note\r\n");
    QTest::newRow("replace first duplicate")
        << QByteArray("[S]\nk=1\nk=2\n") << "v" << QByteArray("[S]\nk=v\nk=2\n");
    QTest::newRow("empty value") << QByteArray("[S]\nk=1\n") << "" << QByteArray("[S]\nk=\n");
    QTest::newRow("leading blanks dropped")
        << QByteArray() << "  \tv " << QByteArray("[S]\nk=v \n");
    QTest::newRow("line end of the first line")
        << QByteArray("[A]\r\nx=1\ny=2\n") << "v" << QByteArray("[A]\r\nx=1\ny=2\n[S]\r\nk=v\r\n");
    QTest::newRow("CR file") << QByteArray("[A]\rx=1\r") << "v"
                             << QByteArray("[A]\rx=1\r[S]\rk=v\r");
    QTest::newRow("Ctrl-Z stays last") << QByteArray("[A]\r\nx=1\r\n\x1A") << "v"
                                       << QByteArray("[A]\r\nx=1\r\n[S]\r\nk=v\r\n\x1A");
    QTest::newRow("BOM kept") << QByteArray("\xEF\xBB\xBF[S]\nk=1\n") << "v"
                              << QByteArray("\xEF\xBB\xBF[S]\nk=v\n");
}

void TestIniDocument::scrittura() {
    QFETCH(QByteArray, before);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    auto doc = IniDocument::fromBytes(before.toStdString());
    QVERIFY(doc.setValue("S", "k", value.toStdString()));
    QCOMPARE(QByteArray::fromStdString(doc.toBytes()), after);
}

void TestIniDocument::stessoValoreNonCambiaNulla() {
    auto doc = IniDocument::fromBytes("[S]\nk = v \n");
    QVERIFY(!doc.setValue("s", "K", "v"));
    QCOMPARE(doc.toBytes(), std::string("[S]\nk = v \n"));
}

void TestIniDocument::windows1252ConservatoInScrittura() {
    auto doc = IniDocument::fromBytes("[S]\r\nnome=Caff\xE8\r\n");
    QVERIFY(doc.encoding() == pulsiero::ini::Encoding::Windows1252);
    QVERIFY(doc.setValue("S", "t1", "Città €"));
    QCOMPARE(doc.toBytes(), std::string("[S]\r\nnome=Caff\xE8\r\nt1=Citt\xE0 \x80\r\n"));
    QVERIFY(doc.setValue("S", "t2", "łódź")); // outside the code page
    QVERIFY(doc.toBytes().find("t2=?\xF3"
                               "d?\r\n") != std::string::npos);
}

void TestIniDocument::valoreNonUtf8() {
    auto doc = IniDocument::fromBytes("[S]\n");
    QVERIFY(doc.setValue("S", "k", "\xE8"));
    QCOMPARE(*doc.value("S", "k"), std::string("è"));
}

void TestIniDocument::capoNelValore() {
    auto doc = IniDocument::fromBytes("[S]\n");
    QVERIFY(doc.setValue("S", "k", "a\nb=c\r"));
    QCOMPARE(*doc.value("S", "k"), std::string("a b=c"));
    QVERIFY(!doc.value("S", "b"));
}

namespace {
// Notepad's "Unicode": UTF-16 little-endian after the byte-order mark FF FE.
QByteArray utf16(const QString& text) {
    QByteArray bytes("\xFF\xFE");
    for (const QChar c : text) {
        bytes += static_cast<char>(c.unicode() & 0xFF);
        bytes += static_cast<char>(c.unicode() >> 8);
    }
    return bytes;
}
} // namespace

// What the platform's profile functions do with files written on Windows. A read gives the value
// ("<none>" when missing) of section/key, with fallback given when it is not empty; a write
// stores value and gives the whole file.
void TestIniDocument::regoleWindows_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value"); // the fallback of a read, the value of a write
    QTest::addColumn<QByteArray>("expected");

    const QByteArray file = "[Server]\r\nPorta=2000\r\n";
    QTest::newRow("read: names trimmed")
        << file << "read" << QByteArray(" Server\t") << QByteArray("  Porta ") << QByteArray()
        << QByteArray("2000");
    QTest::newRow("write: names trimmed, no second line")
        << file << "write" << QByteArray(" Server ") << QByteArray("  Porta  ")
        << QByteArray("2001") << QByteArray("[Server]\r\nPorta=2001\r\n");
    QTest::newRow("write: new key and section without blanks")
        << QByteArray() << "write" << QByteArray(" Pulsiero ") << QByteArray(" t1 ")
        << QByteArray("Apri") << QByteArray("[Pulsiero]\nt1=Apri\n");
    QTest::newRow("read: fallback loses trailing blanks")
        << file << "read" << QByteArray("Server") << QByteArray("Indirizzo")
        << QByteArray(" 10.0.0.7 \t ") << QByteArray(" 10.0.0.7");
    QTest::newRow("read: fallback loses one pair of quotes")
        << file << "read" << QByteArray("Server") << QByteArray("Indirizzo")
        << QByteArray("\"\"x y\"\" ") << QByteArray("\"x y\"");
    QTest::newRow("read: UTF-16 LE with BOM")
        << utf16("[Pulsiero]\r\nnome=Cancello perché\r\n") << "read" << QByteArray("Pulsiero")
        << QByteArray("nome") << QByteArray() << QByteArray("Cancello perché");
    QTest::newRow("read: UTF-16 LE beyond 16 bits")
        << utf16(QStringLiteral("[S]\r\nk=\U0001F511\r\n")) << "read" << QByteArray("S")
        << QByteArray("k") << QByteArray() << QByteArray("\xF0\x9F\x94\x91");
    QTest::newRow("write: UTF-16 LE stays UTF-16 LE")
        << utf16("[Pulsiero]\r\nPasso=41\r\n") << "write" << QByteArray("Pulsiero")
        << QByteArray("Passo") << QByteArray("42") << utf16("[Pulsiero]\r\nPasso=42\r\n");
    QTest::newRow("write: UTF-16 LE new key")
        << utf16("[Pulsiero]\r\n") << "write" << QByteArray("Pulsiero") << QByteArray("nome")
        << QByteArray("Città \xF0\x9F\x94\x91") << utf16("[Pulsiero]\r\nnome=Città 🔑\r\n");
    QTest::newRow("read: odd UTF-16 length is 8-bit text")
        << QByteArray("\xFF\xFE\n[S]\nk=v\n") << "read" << QByteArray("S") << QByteArray("k")
        << QByteArray() << QByteArray("v");
    QTest::newRow("read: UTF-16 starting a pair with a low surrogate is 8-bit text")
        << utf16("[S]\r\nk=") + QByteArray("\x00\xDC\x00\xDC\r\0\n\0", 8) << "read"
        << QByteArray("S") << QByteArray("k") << QByteArray() << QByteArray("<none>");
    QTest::newRow("read: value cut at NUL")
        << QByteArray("[S]\nk=ab\0cd\n", 12) << "read" << QByteArray("S") << QByteArray("k")
        << QByteArray() << QByteArray("ab");
    QTest::newRow("read: #k is a key") << QByteArray("[S]\n#k=7\n") << "read" << QByteArray("S")
                                       << QByteArray("#k") << QByteArray() << QByteArray("7");
    QTest::newRow("read: =v has an empty name")
        << QByteArray("[S]\n=v\n") << "read" << QByteArray("S") << QByteArray("") << QByteArray()
        << QByteArray("v");
    QTest::newRow("read: ; still a comment")
        << QByteArray("[S]\n;k=7\n") << "read" << QByteArray("S") << QByteArray(";k")
        << QByteArray() << QByteArray("<none>");
    QTest::newRow("read: name alone hides a later value")
        << QByteArray("[S]\nflag\nflag=0\n") << "read" << QByteArray("S") << QByteArray("flag")
        << QByteArray() << QByteArray("<none>");
    QTest::newRow("write: name alone gets the value")
        << QByteArray("[S]\r\nflag \r\nb=2\r\n") << "write" << QByteArray("S") << QByteArray("FLAG")
        << QByteArray("1") << QByteArray("[S]\r\nflag=1\r\nb=2\r\n");
    QTest::newRow("read: Windows-1252 section name")
        << QByteArray("[Caff\xE8]\r\nk=5\r\n") << "read" << QByteArray("Caff\xE8")
        << QByteArray("k") << QByteArray() << QByteArray("5");
    QTest::newRow("read: Windows-1252 name, UTF-8 file")
        << QByteArray("[Caffè]\nk=5\n") << "read" << QByteArray("Caff\xE8") << QByteArray("k")
        << QByteArray() << QByteArray("5");
    QTest::newRow("read: accented name without regard to case, up to Þ")
        << QByteArray("[ÞCAFFÈ]\nk=5\n") << "read"
        << QByteArray("\xFE"
                      "caff\xE8")
        << QByteArray("k") << QByteArray() << QByteArray("5");
    QTest::newRow("read: × is not ÷") << QByteArray("[×]\nk=5\n") << "read" << QByteArray("÷")
                                      << QByteArray("k") << QByteArray() << QByteArray("<none>");
    QTest::newRow("read: ß is not ÿ") << QByteArray("[ß]\nk=5\n") << "read" << QByteArray("ÿ")
                                      << QByteArray("k") << QByteArray() << QByteArray("<none>");
    QTest::newRow("write: Windows-1252 section name")
        << QByteArray("[Caff\xE8]\r\nk=5\r\n") << "write" << QByteArray("Caff\xE8")
        << QByteArray("k") << QByteArray("6") << QByteArray("[Caff\xE8]\r\nk=6\r\n");

    // A section pasted in twice: reads see the first, and the file says so.
    const QByteArray doppia = "[Pulsiero]\nPasso=3\n[Server]\n[ pulsiero ]\nChiave=ab\n";
    QTest::newRow("read: first of two sections")
        << doppia << "read" << QByteArray("Pulsiero") << QByteArray("Chiave") << QByteArray()
        << QByteArray("<none>");
    QTest::newRow("repeated: as first written")
        << doppia << "repeated" << QByteArray() << QByteArray() << QByteArray()
        << QByteArray("Pulsiero");
    QTest::newRow("repeated: none") << file << "repeated" << QByteArray() << QByteArray()
                                    << QByteArray() << QByteArray("<none>");
}

void TestIniDocument::regoleWindows() {
    QFETCH(QByteArray, file);
    QFETCH(QString, op);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, expected);
    auto doc = IniDocument::fromBytes(file.toStdString());
    if (op == QLatin1String("repeated")) {
        const auto ripetuta = doc.repeatedSection();
        QCOMPARE(ripetuta ? QByteArray::fromStdString(*ripetuta) : QByteArray("<none>"), expected);
        return;
    }
    if (op == QLatin1String("write")) {
        QVERIFY(doc.setValue(section.toStdString(), key.toStdString(), value.toStdString()));
        QCOMPARE(QByteArray::fromStdString(doc.toBytes()), expected);
        return;
    }
    const std::string s = section.toStdString();
    const std::string k = key.toStdString();
    const auto found = value.isEmpty() ? doc.value(s, k) : doc.value(s, k, value.toStdString());
    QCOMPARE(found ? QByteArray::fromStdString(*found) : QByteArray("<none>"), expected);
}

QTEST_GUILESS_MAIN(TestIniDocument)
#include "tst_inidocument.moc"
