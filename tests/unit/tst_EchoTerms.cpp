// What every echo request shares: its payload at any size and the texts of the status codes.
#include "TestMain.h"
#include "echo/EchoTerms.h"

#include <QtTest>

class TestEchoTerms : public QObject {
    Q_OBJECT

private slots:
    void payload_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray text = "Pinging from Tozelo code written by T. Gorvan";
        QTest::newRow("0") << 0 << QByteArray();
        QTest::newRow("10") << 10 << text.left(10);
        QTest::newRow("45") << 45 << text;
        QTest::newRow("56") << 56 << text + QByteArray(11, ' ');
        QTest::newRow("300") << 300 << text + QByteArray(255, ' ');
    }

    void payload()
    {
        QFETCH(int, size);
        QFETCH(QByteArray, expected);
        const std::vector<uint8_t> bytes = EchoTerms::payloadOf(size);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size())), expected);
    }

    void errorTexts()
    {
        QCOMPARE(EchoTerms::errorText(0), std::string("No error"));
        QCOMPARE(EchoTerms::errorText(11001), std::string("Buffer too small"));
        QCOMPARE(EchoTerms::errorText(11003), std::string("Destination host unreachable"));
        QCOMPARE(EchoTerms::errorText(11010), std::string("Request timed out"));
        QCOMPARE(EchoTerms::errorText(11013), std::string("TTL expired in transit"));
        QCOMPARE(EchoTerms::errorText(11018), std::string("Bad Destination"));
        QCOMPARE(EchoTerms::errorText(11020), std::string("Spec MTU change"));
        QCOMPARE(EchoTerms::errorText(11050), std::string("General failure"));
        QCOMPARE(EchoTerms::errorText(11255), std::string("Pending"));
        QCOMPARE(EchoTerms::errorText(11022), std::string("ICMP error #11022"));
        QCOMPARE(EchoTerms::errorText(10004), std::string("ICMP error #10004"));
        QCOMPARE(EchoTerms::errorText(-1), std::string("ICMP error #-1"));
    }
};

TOZELO_GUILESS_TEST_MAIN(TestEchoTerms)
#include "tst_EchoTerms.moc"
