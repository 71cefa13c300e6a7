// Whole numbers and dotted addresses as every part of the program reads and writes them.
#include "TestMain.h"
#include "echo/Notation.h"

#include <QtTest>
#include <climits>
#include <optional>

using Fields = std::optional<std::array<std::string, 4>>;

class TestNotation : public QObject {
    Q_OBJECT

private slots:
    void wholeNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");
        QTest::newRow("zero") << "0" << true << 0;
        QTest::newRow("plain") << "56" << true << 56;
        QTest::newRow("plus sign") << "+7" << true << 7;
        QTest::newRow("minus sign") << "-12" << true << -12;
        QTest::newRow("leading zeros are decimal") << "010" << true << 10;
        QTest::newRow("largest") << "2147483647" << true << INT_MAX;
        QTest::newRow("smallest") << "-2147483648" << true << INT_MIN;
        QTest::newRow("one past the largest") << "2147483648" << false << 0;
        QTest::newRow("one past the smallest") << "-2147483649" << false << 0;
        QTest::newRow("far too long") << "99999999999999999999" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("space before") << " 5" << false << 0;
        QTest::newRow("space after") << "5 " << false << 0;
        QTest::newRow("sign alone") << "-" << false << 0;
        QTest::newRow("two signs") << "+-5" << false << 0;
        QTest::newRow("exponent") << "1e3" << false << 0;
        QTest::newRow("hexadecimal") << "0x10" << false << 0;
        QTest::newRow("trailing letter") << "12a" << false << 0;
        QTest::newRow("decimal point") << "1.5" << false << 0;
        QTest::newRow("digit of another script") << QString::fromUtf8("\u0663") << false << 0;
    }

    void wholeNumber()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, value);
        const std::optional<int> expected = valid ? std::optional<int>(value) : std::nullopt;
        QCOMPARE(Notation::wholeNumber(text.toStdString()), expected);
    }

    void notWholeNumberIsTheGeneralReport()
    {
        QCOMPARE(Notation::notWholeNumber("12a"), std::string("'12a' is not a valid integer value"));
    }

    void dotted()
    {
        QCOMPARE(Notation::dotted(0), std::string("0.0.0.0"));
        QCOMPARE(Notation::dotted(0xC0A80A01), std::string("192.168.10.1"));
        QCOMPARE(Notation::dotted(0xFFFFFFFF), std::string("255.255.255.255"));
    }

    // The fields as typed, and whether they make a strict address.
    void dottedTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<qint64>("address"); // -1: none
        QTest::newRow("address") << "192.168.1.20" << QStringList{"192", "168", "1", "20"} << qint64(0xC0A80114);
        QTest::newRow("zeros") << "0.0.0.0" << QStringList{"0", "0", "0", "0"} << qint64(0);
        QTest::newRow("leading zeros") << "127.000.0.010" << QStringList{"127", "000", "0", "010"} << qint64(-1);
        QTest::newRow("octet above 255") << "1.2.3.256" << QStringList{"1", "2", "3", "256"} << qint64(-1);
        QTest::newRow("four digits") << "1000.1.1.1" << QStringList{"1000", "1", "1", "1"} << qint64(-1);
        QTest::newRow("beyond every integer")
            << "1.1.1.99999999999999999999" << QStringList{"1", "1", "1", "99999999999999999999"} << qint64(-1);
        QTest::newRow("three fields") << "1.2.3" << QStringList() << qint64(-1);
        QTest::newRow("five fields") << "1.2.3.4.5" << QStringList() << qint64(-1);
        QTest::newRow("trailing dot") << "1.2.3.4." << QStringList() << qint64(-1);
        QTest::newRow("empty field") << "1..3.4" << QStringList() << qint64(-1);
        QTest::newRow("sign") << "1.2.3.-4" << QStringList() << qint64(-1);
        QTest::newRow("space") << "1.2.3. 4" << QStringList() << qint64(-1);
        QTest::newRow("name") << "localhost" << QStringList() << qint64(-1);
        QTest::newRow("empty") << "" << QStringList() << qint64(-1);
    }

    void dottedTexts()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, fields);
        QFETCH(qint64, address);
        const Fields read = Notation::dottedFields(text.toStdString());
        QCOMPARE(read.has_value(), !fields.isEmpty());
        for (int i = 0; read && i < 4; ++i)
            QCOMPARE(QString::fromStdString((*read)[size_t(i)]), fields[i]);
        const std::optional<uint32_t> parsed = Notation::parseDotted(text.toStdString());
        QCOMPARE(parsed ? qint64(*parsed) : qint64(-1), address);
    }
};

TOZELO_GUILESS_TEST_MAIN(TestNotation)
#include "tst_Notation.moc"
