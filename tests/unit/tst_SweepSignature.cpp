#include "TestMain.h"
#include "sweep/SweepSignature.h"

#include <QtTest>
#include <algorithm>
#include <vector>

class TestSweepSignature : public QObject {
    Q_OBJECT

private slots:
    // The published test vectors of SipHash-2-4: key 00..0f, messages 00.., 0 and 15 bytes long.
    void sipHashVectors()
    {
        uint8_t key[16];
        uint8_t message[15];
        for (int i = 0; i < 16; ++i)
            key[i] = uint8_t(i);
        for (int i = 0; i < 15; ++i)
            message[i] = uint8_t(i);
        QCOMPARE(SweepSignature::sipHash24(key, message, 0), 0x726fdb47dd0e0e31ull);
        QCOMPARE(SweepSignature::sipHash24(key, message, 8), 0x93f5f5799a932462ull);
        QCOMPARE(SweepSignature::sipHash24(key, message, 15), 0xa129ca6149be45e5ull);
    }

    // The check belongs to one request of one sweep: any other address, identifier, sequence number,
    // pass or key fails, and so does a changed byte of it. It takes the head of the payload and
    // leaves the rest as it was.
    void checkBelongsToOneRequest()
    {
        const SweepSignature signature;
        std::vector<uint8_t> payload(56, ' ');
        signature.sign(payload.data(), payload.size(), 0xC6120801, 0x1234, 7, 0);
        QVERIFY(std::count(payload.begin(), payload.begin() + SweepSignature::Size, ' ') < 2);
        QCOMPARE(std::vector<uint8_t>(payload.begin() + SweepSignature::Size, payload.end()),
                 std::vector<uint8_t>(56 - SweepSignature::Size, ' '));
        const auto verifies = [&](const SweepSignature &by, uint32_t address, uint16_t identifier, uint16_t sequence,
                                  uint32_t pass) {
            return by.verify(payload.data(), payload.size(), payload.size(), address, identifier, sequence, pass);
        };
        QVERIFY(verifies(signature, 0xC6120801, 0x1234, 7, 0));
        QVERIFY(!verifies(signature, 0xC6120802, 0x1234, 7, 0));
        QVERIFY(!verifies(signature, 0xC6120801, 0x1235, 7, 0));
        QVERIFY(!verifies(signature, 0xC6120801, 0x1234, 8, 0));
        QVERIFY(!verifies(signature, 0xC6120801, 0x1234, 7, 1));
        QVERIFY(!verifies(SweepSignature(), 0xC6120801, 0x1234, 7, 0));
        payload[3] ^= 0x01;
        QVERIFY(!verifies(signature, 0xC6120801, 0x1234, 7, 0));
    }

    // A short payload carries what fits of the check, an empty one (which may have no bytes at all)
    // nothing; an error that quotes only part of it is judged by that part, and one that quotes
    // nothing of it cannot be.
    void shortPayloadsAndQuotes()
    {
        const SweepSignature signature;
        signature.sign(nullptr, 0, 1, 2, 3, 0);
        QVERIFY(signature.verify(nullptr, 0, 0, 1, 2, 3, 0));
        std::vector<uint8_t> payload(SweepSignature::Size, ' ');
        signature.sign(payload.data(), 3, 1, 2, 3, 0);
        QVERIFY(std::count(payload.begin(), payload.begin() + 3, ' ') < 2);
        QCOMPARE(std::vector<uint8_t>(payload.begin() + 3, payload.end()), std::vector<uint8_t>(5, ' '));
        QVERIFY(signature.verify(payload.data(), 3, 3, 1, 2, 3, 0));
        QVERIFY(!signature.verify(payload.data(), 3, 3, 1, 2, 4, 0));
        std::vector<uint8_t> longer(56, ' ');
        signature.sign(longer.data(), longer.size(), 1, 2, 3, 0);
        QVERIFY(signature.verify(longer.data(), 2, longer.size(), 1, 2, 3, 0));
        longer[1] ^= 0x80;
        QVERIFY(!signature.verify(longer.data(), 2, longer.size(), 1, 2, 3, 0));
        QVERIFY(signature.verify(longer.data(), 0, longer.size(), 1, 2, 3, 0));
    }
};

TOZELO_GUILESS_TEST_MAIN(TestSweepSignature)
#include "tst_SweepSignature.moc"
