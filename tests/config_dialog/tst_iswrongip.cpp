#include "settings/IsWrongIP.h"

#include <QTest>

class TestIsWrongIP : public QObject {
    Q_OBJECT

private slots:
    void classifiesText_data();
    void classifiesText();
};

void TestIsWrongIP::classifiesText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("wrong");

    QTest::newRow("acceptable") << "10.0.0.1" << false;
    QTest::newRow("acceptable, three digits") << "192.168.0.10" << false;
    QTest::newRow("acceptable, zero last") << "100.200.255.0" << false;
    QTest::newRow("every group at 255") << "255.255.255.255" << false;
    QTest::newRow("zero groups after the first") << "1.0.0.0" << false;
    QTest::newRow("zero groups of two and three zeros") << "1.00.000.0" << false;
    QTest::newRow("fourth group 000") << "1.2.3.000" << false;
    QTest::newRow("first group 0") << "0.1.2.3" << true;
    QTest::newRow("first group with a leading zero") << "010.0.0.1" << true;
    QTest::newRow("second group with a leading zero") << "1.01.2.3" << true;
    QTest::newRow("fourth group with a leading zero") << "1.2.3.04" << true;
    QTest::newRow("first group above 255") << "256.1.1.1" << true;
    QTest::newRow("fourth group above 255") << "1.1.1.256" << true;
    QTest::newRow("four characters in the first group") << "1000.1.1.1" << true;
    QTest::newRow("four zeros in the fourth group") << "1.2.3.0000" << true;
    QTest::newRow("eleven characters in the fourth group") << "1.2.3.99999999999" << true;
    QTest::newRow("two dots") << "1.2.3" << true;
    QTest::newRow("four dots") << "1.2.3.4.5" << true;
    QTest::newRow("second group empty") << "1..3.4" << true;
    QTest::newRow("first group empty") << ".1.2.3" << true;
    QTest::newRow("fourth group empty") << "1.2.3." << true;
    QTest::newRow("empty text") << "" << true;
    QTest::newRow("host name") << "servidor" << true;
    QTest::newRow("port") << "1.2.3.4:3050" << true;
    QTest::newRow("sign") << "-1.2.3.4" << true;
    QTest::newRow("blank before") << " 1.2.3.4" << true;
    QTest::newRow("blank after") << "1.2.3.4 " << true;
    QTest::newRow("full-width digit one") << QString::fromUtf8("\xEF\xBC\x91.2.3.4") << true;
    QTest::newRow("sixteen characters") << "100.100.100.1000" << true;
    QTest::newRow("very long") << QString(100000, u'1') + ".1.1.1" << true;
    // Beyond the table: the group rules hold in the middle groups too.
    QTest::newRow("third group above 255") << "1.1.300.1" << true;
    QTest::newRow("Arabic-Indic digit") << QString::fromUtf8("1.2.3.\xD9\xA1") << true;
}

void TestIsWrongIP::classifiesText() {
    QFETCH(QString, text);
    QFETCH(bool, wrong);
    QCOMPARE(IsWrongIP(text), wrong);
}

QTEST_APPLESS_MAIN(TestIsWrongIP)
#include "tst_iswrongip.moc"
