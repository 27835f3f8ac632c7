#include "core/LenientNumber.h"

#include <QTest>

#include <optional>

// How numbers are read from the settings file and from the dialog's boxes.
class TestLenientNumber : public QObject {
    Q_OBJECT
private slots:
    void lettura_data();
    void lettura();
    void numerico_data();
    void numerico();
};

Q_DECLARE_METATYPE(std::optional<std::int32_t>)

void TestLenientNumber::lettura_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::addColumn<std::optional<std::int32_t>>("rounded");

    using R = std::optional<std::int32_t>;
    QTest::newRow("digits") << "12" << 12.0 << R(12);
    QTest::newRow("leading numeric part") << "12abc" << 12.0 << R(12);
    QTest::newRow("blanks around") << " \t7 " << 7.0 << R(7);
    QTest::newRow("empty") << "" << 0.0 << R(0);
    QTest::newRow("no numeral") << "abc" << 0.0 << R(0);
    QTest::newRow("sign only") << "-" << 0.0 << R(0);
    QTest::newRow("negative") << "-3" << -3.0 << R(-3);
    QTest::newRow("plus sign") << "+4" << 4.0 << R(4);
    QTest::newRow("half to even down") << "2.5" << 2.5 << R(2);
    QTest::newRow("half to even up") << "3.5" << 3.5 << R(4);
    QTest::newRow("negative half") << "-2.5" << -2.5 << R(-2);
    QTest::newRow("fraction only") << ".75" << 0.75 << R(1);
    QTest::newRow("trailing point") << "5." << 5.0 << R(5);
    QTest::newRow("lone point") << "." << 0.0 << R(0);
    QTest::newRow("exponent") << "1.5e3" << 1500.0 << R(1500);
    QTest::newRow("negative exponent") << "25E-1x" << 2.5 << R(2);
    QTest::newRow("exponent without digits") << "3e" << 3.0 << R(3);
    QTest::newRow("exponent sign without digits") << "3e+" << 3.0 << R(3);
    QTest::newRow("exponent with plus") << "1e+2" << 100.0 << R(100);
    QTest::newRow("int32 max") << "2147483647" << 2147483647.0 << R(2147483647);
    QTest::newRow("int32 min") << "-2147483648" << -2147483648.0 << R(-2147483647 - 1);
    QTest::newRow("above int32") << "2147483648" << 2147483648.0 << R();
    QTest::newRow("below int32") << "-2147483649" << -2147483649.0 << R();
    QTest::newRow("rounds into range") << "2147483647.4" << 2147483647.4 << R(2147483647);
    QTest::newRow("rounds out of range") << "2147483647.5" << 2147483647.5 << R();
    QTest::newRow("huge exponent") << "1e400" << qInf() << R();
    QTest::newRow("tiny exponent") << "1e-400" << 0.0 << R(0);
    QTest::newRow("tiny without exponent") << "0." + QString(330, '0') + "1" << 0.0 << R(0);
    QTest::newRow("huge without exponent") << "1" + QString(400, '0') << qInf() << R();
    QTest::newRow("tiny despite a positive exponent")
        << "0." + QString(400, '0') + "1e+10" << 0.0 << R(0);
    QTest::newRow("huge despite a negative exponent") << "1" + QString(400, '0') + "e-10" << qInf()
                                                      << R();
    QTest::newRow("no hex") << "&H10" << 0.0 << R(0);
    QTest::newRow("no inf") << "inf" << 0.0 << R(0);
    QTest::newRow("digit grouping stops") << "1,000" << 1.0 << R(1);
}

void TestLenientNumber::lettura() {
    QFETCH(QString, text);
    QFETCH(double, value);
    QFETCH(std::optional<std::int32_t>, rounded);
    QCOMPARE(pulsiero::numericValue(text.toStdString()), value);
    QCOMPARE(pulsiero::readInt32(text.toStdString()), rounded);
}

void TestLenientNumber::numerico_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    QTest::newRow("digits") << "65535" << true;
    QTest::newRow("blanks around") << " 80 " << true;
    QTest::newRow("decimal") << "1.5" << true;
    QTest::newRow("negative") << "-1" << true;
    QTest::newRow("leading zeros") << "007" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blank") << "  " << false;
    QTest::newRow("trailing letters") << "80a" << false;
    QTest::newRow("exponent without digits") << "3e" << false;
    QTest::newRow("inner blank") << "8 0" << false;
    QTest::newRow("letters") << "abc" << false;
}

void TestLenientNumber::numerico() {
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QCOMPARE(pulsiero::isNumeric(text.toStdString()), numeric);
}

QTEST_GUILESS_MAIN(TestLenientNumber)
#include "tst_lenientnumber.moc"
