#include "TestMain.h"
#include "platform/FramesPermission.h"

#include <QtTest>

class tst_FramesPermission : public QObject {
    Q_OBJECT

private slots:
    void rootAndTheGroupAlone_data()
    {
        QTest::addColumn<uint>("uid");
        QTest::addColumn<QList<uint>>("groups");
        QTest::addColumn<QString>("groupFile");
        QTest::addColumn<bool>("allowed");
        const QString file = "root:x:0:\nusers:x:100:\ntozelo-frames:x:998:alice\nnogroup:x:65534:\n";
        QTest::newRow("root") << 0u << QList<uint>{0} << file << true;
        QTest::newRow("root without the group file") << 0u << QList<uint>{0} << QString() << true;
        QTest::newRow("a member") << 1000u << QList<uint>{100, 998} << file << true;
        QTest::newRow("not a member") << 1000u << QList<uint>{100} << file << false;
        QTest::newRow("no such group") << 1000u << QList<uint>{998} << "root:x:0:\nusers:x:100:\n" << false;
        QTest::newRow("a group whose name starts alike")
            << 1000u << QList<uint>{997} << "tozelo-frames-old:x:997:\n" + file << false;
        QTest::newRow("a broken line") << 1000u << QList<uint>{998} << "tozelo-frames:x:9x8:\n" << false;
        QTest::newRow("no gid at all") << 1000u << QList<uint>{0} << "tozelo-frames:x\n" << false;
        QTest::newRow("an overlong gid") << 1000u << QList<uint>{998} << "tozelo-frames:x:00000000000998:\n" << false;
    }

    // The refusal says why and how to allow it.
    void rootAndTheGroupAlone()
    {
        QFETCH(uint, uid);
        QFETCH(QList<uint>, groups);
        QFETCH(QString, groupFile);
        QFETCH(bool, allowed);
        const std::vector<gid_t> ids(groups.begin(), groups.end());
        const QString refusal =
            QString::fromStdString(FramesPermission::refusal(uid_t(uid), ids, groupFile.toStdString()));
        QCOMPARE(refusal.isEmpty(), allowed);
        if (!allowed)
            QCOMPARE(refusal, QString("--frames sends past this host's firewall, so only root and the members of the "
                                      "group tozelo-frames may use it; an administrator allows a user with 'adduser "
                                      "USER tozelo-frames' (the user logs in again after)"));
    }
};

TOZELO_GUILESS_TEST_MAIN(tst_FramesPermission)
#include "tst_FramesPermission.moc"
