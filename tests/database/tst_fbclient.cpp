// The pure parts of the client layer: the attachment's parameter block, the
// database name rule and the connection parameters. No client library.

#include "CoreTestSupport.h"
#include "database/Database.h"
#include "database/FbClient.h"

#include <QTest>

#include <clocale>

using namespace Qt::StringLiterals;

class TestFbClient : public QObject {
    Q_OBJECT

private:
    static QByteArray bytes(std::initializer_list<int> values) {
        QByteArray out;
        for (int v : values)
            out.append(static_cast<char>(v));
        return out;
    }
    // What every block starts and ends with: version and the UTF-8 flag;
    // the connection's character set and the connect time-out (15 s).
    static QByteArray head() { return bytes({1, 77, 0}); }
    static QByteArray tail() { return bytes({48, 4}) + "UTF8" + bytes({57, 4, 15, 0, 0, 0}); }

private slots:
    void parameterBlockIsVersionUserPassword() {
        const QByteArray block =
            fb::parameterBlock(QStringList{u"user_name=SYSDBA"_s, u"password=masterkey"_s});
        QCOMPARE(block, head() + bytes({28, 6}) + "SYSDBA" + bytes({29, 9}) + "masterkey" + tail());
    }

    // UTF-8 whatever the locale: the block says so itself.
    void parameterBlockSendsUtf8Bytes_data() {
        QTest::addColumn<QByteArray>("locale");
        QTest::newRow("UTF-8 locale") << QByteArray("C.UTF-8");
        QTest::newRow("C locale") << QByteArray("C");
    }
    void parameterBlockSendsUtf8Bytes() {
        QFETCH(QByteArray, locale);
        const QByteArray old = ::setlocale(LC_ALL, nullptr);
        ::setlocale(LC_ALL, locale.constData());
        // "Senhã" is 6 bytes in UTF-8: the length byte counts bytes.
        const QByteArray block = fb::parameterBlock(QStringList{u"user_name=joão"_s, u"password=senhã"_s});
        ::setlocale(LC_ALL, old.constData());
        QCOMPARE(block, head() + bytes({28, 5}) + "jo\xc3\xa3o" + bytes({29, 6}) + "senh\xc3\xa3" + tail());
    }

    void parameterBlockCarriesTheConnectTimeout() {
        const auto defaultTimeout = fb::ConnectTimeout;
        fb::ConnectTimeout = std::chrono::seconds(300);
        const QByteArray block = fb::parameterBlock(QStringList{u"user_name=u"_s, u"password=p"_s});
        fb::ConnectTimeout = defaultTimeout;
        QVERIFY(block.endsWith(bytes({57, 4, 44, 1, 0, 0})));
    }

    void parameterBlockTakesOnlyUserAndPassword() {
        // Other lines are not sent; names match without regard to case;
        // the order of the block does not follow the lines.
        const QByteArray block = fb::parameterBlock(
            QStringList{u"PASSWORD=pw"_s, u"sql_role_name=ADMIN"_s, u"lc_ctype=UTF8"_s, u"User_Name=u"_s});
        QCOMPARE(block, head() + bytes({28, 1}) + "u" + bytes({29, 2}) + "pw" + tail());
    }

    void parameterBlockKeepsEmptyAndEqualsSigns() {
        const QByteArray block = fb::parameterBlock(QStringList{u"user_name="_s, u"password=a=b"_s});
        QCOMPARE(block, head() + bytes({28, 0, 29, 3}) + "a=b" + tail());
    }

    void parameterBlockItemLengths_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("error");
        const QString max = QString(255, u'u');
        const QString tooLong = QString(256, u'p');
        QTest::newRow("255 bytes fit") << max << max << QString();
        QTest::newRow("user 256") << tooLong << u"x"_s
                                  << u"O nome de usuário tem 256 bytes, e o cliente do banco de dados aceita "
                                     u"no máximo 255. Encurte em "
                                     u"\"Configurações\" e salve de novo."_s;
        QTest::newRow("password 256")
            << u"x"_s << tooLong
            << u"A senha tem 256 bytes, e o cliente do banco de dados aceita no máximo 255. Encurte em "
               u"\"Configurações\" e salve de novo."_s;
        // 128 two-byte characters: 256 bytes although only 128 characters.
        QTest::newRow("password 128 x ã")
            << u"x"_s << QString(128, u'ã')
            << u"A senha tem 256 bytes, e o cliente do banco de dados aceita no máximo 255. Encurte em "
               u"\"Configurações\" e salve de novo."_s;
    }
    void parameterBlockItemLengths() {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, error);
        try {
            const QByteArray block = fb::parameterBlock(ConnectionParams(user, password));
            QVERIFY2(error.isEmpty(), "a too-long item was accepted");
            QCOMPARE(block.size(),
                     head().size() + 2 + user.toUtf8().size() + 2 + password.toUtf8().size() + tail().size());
            QCOMPARE(static_cast<unsigned char>(block.at(head().size() + 1)), 255);
        } catch (const ShownError& e) {
            QCOMPARE(e.text(), error);
        }
    }

    void connectionParamsAreTwoLines_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("plain") << u"SYSDBA"_s << u"masterkey"_s
                               << QStringList{u"user_name=SYSDBA"_s, u"password=masterkey"_s};
        QTest::newRow("blanks kept") << u" a b "_s << u" p "_s
                                     << QStringList{u"user_name= a b "_s, u"password= p "_s};
        QTest::newRow("empty password")
            << u"u"_s << QString() << QStringList{u"user_name=u"_s, u"password="_s};
    }
    void connectionParamsAreTwoLines() {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QStringList, lines);
        QCOMPARE(ConnectionParams(user, password), lines);
    }

    void decodeTextFallsBackToLatin1() {
        QCOMPARE(fb::decodeText("S\xc3\xa3o", 4), u"São"_s);
        QCOMPARE(fb::decodeText("S\xe3o", 3), u"São"_s);                 // not UTF-8: Latin-1
        QCOMPARE(fb::decodeText("\xc3\xa3\xe3", 3), u"Ã£ã"_s);           // broken sequence: all Latin-1
        QCOMPARE(fb::decodeText("\xed\xa0\x80", 3), u"í\u00a0\u0080"_s); // encoded surrogate is no UTF-8
    }
};

ORVANTO_CORE_TEST_MAIN(TestFbClient)
#include "tst_fbclient.moc"
