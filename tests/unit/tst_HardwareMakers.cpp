// The makers of hardware addresses from an assignment list as Debian installs it, written in a
// temporary folder: quoted names, a header, other registries, a block listed twice; addresses their
// makers did not set; a list that is missing.
#include "TestMain.h"
#include "sweep/HardwareMakers.h"

#include "TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
HardwareAddress mac(uint8_t a, uint8_t b, uint8_t c, uint8_t last = 0x01)
{
    const uint8_t bytes[HardwareAddress::Size] = {a, b, c, 0x00, 0x00, last};
    return HardwareAddress(bytes);
}
} // namespace

class tst_HardwareMakers : public QObject {
    Q_OBJECT
private slots:
    void makersFromTheList();
    void aMissingListNamesNone();
};

void tst_HardwareMakers::makersFromTheList()
{
    const QTemporaryDir folder;
    const QString list = folder.filePath("oui.csv");
    writeFile(list, "Registry,Assignment,Organization Name,Organization Address\n"
                    "MA-L,F4BD9E,\"Cisco Systems, Inc\",80 West Tasman Drive San Jose CA US 94568 \n"
                    "MA-L,00163E,\"Xensource, \"\"Inc.\"\"\",\"2300 Geng Rd., Palo Alto\"\r\n"
                    "MA-M,005056,Not a block of three bytes,Somewhere\n"
                    "MA-L,00163e,Listed twice,Elsewhere\n"
                    "MA-L,0016,Too short,Nowhere\n"
                    "MA-L,A0CDEF,\"  Tab\tand spaces  \",\n");
    HardwareMakers makers(list.toStdString());
    QCOMPARE(makers.makerOf(mac(0xF4, 0xBD, 0x9E)), "Cisco Systems, Inc");
    QCOMPARE(makers.makerOf(mac(0x00, 0x16, 0x3E)), "Xensource, \"Inc.\"");
    QCOMPARE(makers.makerOf(mac(0x00, 0x50, 0x56)), "");
    QCOMPARE(makers.makerOf(mac(0xA0, 0xCD, 0xEF)), "Tab and spaces");
    QCOMPARE(makers.makerOf(mac(0x00, 0x00, 0x16)), "");
    // The bit that says so, whatever the rest: these name no maker even when listed.
    QCOMPARE(makers.makerOf(mac(0xF6, 0xBD, 0x9E)), HardwareMakers::LocallyAdministered);
    QCOMPARE(makers.makerOf(mac(0x02, 0x16, 0x3E)), HardwareMakers::LocallyAdministered);
    QCOMPARE(mac(0xF4, 0xBD, 0x9E, 0xA0).toString(), "f4:bd:9e:00:00:a0");
    QCOMPARE(makers.takeFailure(), "");
}

void tst_HardwareMakers::aMissingListNamesNone()
{
    const QTemporaryDir folder;
    const std::string list = folder.filePath("none.csv").toStdString();
    HardwareMakers makers(list);
    QCOMPARE(makers.makerOf(mac(0xF4, 0xBD, 0x9E)), "");
    QCOMPARE(makers.makerOf(mac(0x02, 0x00, 0x00)), HardwareMakers::LocallyAdministered);
    QCOMPARE(makers.makerOf(mac(0x00, 0x16, 0x3E)), "");
    QCOMPARE(makers.takeFailure(),
             "cannot read the makers of hardware addresses from " + list + ": No such file or directory");
    QCOMPARE(makers.takeFailure(), "");
}

TOZELO_GUILESS_TEST_MAIN(tst_HardwareMakers)
#include "tst_HardwareMakers.moc"
