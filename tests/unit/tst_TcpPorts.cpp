// The ports of the TCP probe as the user writes them: lists, ranges, and every kind of bad item refused
// by name.
#include "Refusal.h"
#include "TestMain.h"
#include "sweep/TcpPorts.h"

#include <QtTest>
#include <vector>

Q_DECLARE_METATYPE(std::vector<uint16_t>)

class tst_TcpPorts : public QObject {
    Q_OBJECT

private slots:
    void reads_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::vector<uint16_t>>("ports");
        QTest::newRow("one") << "22" << std::vector<uint16_t>{22};
        QTest::newRow("as given, not sorted") << "443,80" << std::vector<uint16_t>{443, 80};
        QTest::newRow("range") << "8000-8003" << std::vector<uint16_t>{8000, 8001, 8002, 8003};
        QTest::newRow("range of one") << "7-7" << std::vector<uint16_t>{7};
        QTest::newRow("mixed, twice given once")
            << "22,8080-8081,22,8081,1" << std::vector<uint16_t>{22, 8080, 8081, 1};
        QTest::newRow("the ends") << "1,65535" << std::vector<uint16_t>{1, 65535};
        QTest::newRow("leading zeros") << "00443" << std::vector<uint16_t>{443};
        QTest::newRow("the most") << "1-64" << std::vector<uint16_t>();
    }
    void reads()
    {
        QFETCH(QString, text);
        QFETCH(std::vector<uint16_t>, ports);
        const std::vector<uint16_t> read = TcpPorts::parse(text.toStdString());
        if (ports.empty())
            QCOMPARE(read.size(), TcpPorts::MaxPorts);
        else
            QCOMPARE(read, ports);
    }

    void refuses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("zero") << "80,0"
                              << "bad port '0': ports are numbers from 1 to 65535";
        QTest::newRow("past the last") << "65536"
                                       << "bad port '65536': ports are numbers from 1 to 65535";
        QTest::newRow("far past") << "4294967377"
                                  << "bad port '4294967377': ports are numbers from 1 to 65535";
        QTest::newRow("letters") << "80,http"
                                 << "bad port 'http': ports are numbers from 1 to 65535";
        QTest::newRow("hexadecimal") << "0x50"
                                     << "bad port '0x50': ports are numbers from 1 to 65535";
        QTest::newRow("sign") << "+80"
                              << "bad port '+80': ports are numbers from 1 to 65535";
        QTest::newRow("blank") << "80, 443"
                               << "bad port ' 443': ports are numbers from 1 to 65535";
        QTest::newRow("open range") << "8000-"
                                    << "bad port '8000-': ports are numbers from 1 to 65535";
        QTest::newRow("two dashes") << "1-2-3"
                                    << "bad port '1-2-3': ports are numbers from 1 to 65535";
        QTest::newRow("backwards") << "90-80"
                                   << "bad port '90-80': the range ends before it starts";
        QTest::newRow("nothing") << ""
                                 << "bad port list '': an empty item";
        QTest::newRow("empty item") << "80,,443"
                                    << "bad port list '80,,443': an empty item";
        QTest::newRow("trailing comma") << "80,"
                                        << "bad port list '80,': an empty item";
        QTest::newRow("too many") << "1-60,100-104"
                                  << "bad port '100-104': more than 64 ports";
        QTest::newRow("a huge range") << "1-65535"
                                      << "bad port '1-65535': more than 64 ports";
    }
    void refuses()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        QCOMPARE(refusalOf([&text] { TcpPorts::parse(text.toStdString()); }), message);
    }
};

TOZELO_GUILESS_TEST_MAIN(tst_TcpPorts)
#include "tst_TcpPorts.moc"
