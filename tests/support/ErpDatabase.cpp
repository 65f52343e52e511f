#include "ErpDatabase.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <stdexcept>

namespace {

QString isqlProgram() {
    for (const char* name : {"isql-fb", "isql"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty())
            return found;
    }
    throw std::runtime_error("isql-fb not found: install firebird3.0-utils");
}

QString createStatement(const QString& path, const QString& charset) {
    return QStringLiteral(
               "SET NAMES UTF8;\nCREATE DATABASE %1 USER %2 PAGE_SIZE 8192 DEFAULT CHARACTER SET %3;\n")
        .arg(sqlLiteral(path), sqlLiteral(ErpDatabaseOwner), charset);
}

const char* const tableStatement =
    "CREATE TABLE FILIAIS (CODEMPRESA VARCHAR(10), NOMEEMPRESA VARCHAR(60), FILIALATIVA CHAR(1));\n"
    "GRANT SELECT ON FILIAIS TO PUBLIC;\n"
    "COMMIT;\n";

void removeOld(const QString& path) {
    if (QFile::exists(path) && !QFile::remove(path))
        throw std::runtime_error(("cannot remove old database " + path).toStdString());
}

} // namespace

QString sqlLiteral(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString runIsql(const QString& script, const QStringList& environment) {
    QTemporaryFile file;
    if (!file.open())
        throw std::runtime_error("cannot write the isql script");
    file.write(script.toUtf8());
    file.flush();

    QProcess isql;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The script is UTF-8, whatever locale the test itself runs under.
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    for (const QString& entry : environment) {
        const qsizetype eq = entry.indexOf(QLatin1Char('='));
        env.insert(entry.left(eq), entry.mid(eq + 1));
    }
    isql.setProcessEnvironment(env);
    isql.setProcessChannelMode(QProcess::MergedChannels);
    isql.start(isqlProgram(),
               {QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("-i"), file.fileName()});
    if (!isql.waitForFinished(600000) || isql.exitStatus() != QProcess::NormalExit) {
        isql.kill();
        isql.waitForFinished();
        throw std::runtime_error("isql did not finish");
    }
    const QString output = QString::fromUtf8(isql.readAll());
    if (isql.exitCode() != 0 || output.contains(QLatin1String("Statement failed")))
        throw std::runtime_error(
            ("isql failed:\n" + output + "\nscript:\n" + script.left(4000)).toStdString());
    return output;
}

void createErpDatabase(const QString& path, const QList<Branch>& rows, bool withTable,
                       const QString& charset) {
    removeOld(path);
    QString script = createStatement(path, charset);
    if (withTable) {
        script += QString::fromLatin1(tableStatement);
        for (const Branch& row : rows) {
            script += QStringLiteral(
                          "INSERT INTO FILIAIS (CODEMPRESA, NOMEEMPRESA, FILIALATIVA) VALUES (%1, %2, %3);\n")
                          .arg(sqlLiteral(row.code), sqlLiteral(row.name),
                               row.active ? sqlLiteral(*row.active) : QStringLiteral("NULL"));
        }
    }
    script += QStringLiteral("COMMIT;\n");
    runIsql(script);
}

void createBulkErpDatabase(const QString& path, int count) {
    removeOld(path);
    QString script = createStatement(path, QStringLiteral("UTF8"));
    script += QString::fromLatin1(tableStatement);
    script += QStringLiteral("SET TERM ^ ;\n"
                             "EXECUTE BLOCK AS\n"
                             "  DECLARE i INTEGER = 1;\n"
                             "BEGIN\n"
                             "  WHILE (i <= %1) DO\n"
                             "  BEGIN\n"
                             "    INSERT INTO FILIAIS (CODEMPRESA, NOMEEMPRESA, FILIALATIVA)\n"
                             "      VALUES (LPAD(:i, 7, '0'), 'Filial ' || LPAD(:i, 7, '0'), 'S');\n"
                             "    i = i + 1;\n"
                             "  END\n"
                             "END^\n"
                             "SET TERM ; ^\n"
                             "COMMIT;\n")
                  .arg(count);
    runIsql(script);
}
