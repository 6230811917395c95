// backoffice export: the file it writes against the file a screen script writes for the same
// filters, its refusals (status, message, no file), the --period calendar and the executable.

#include "consiste.h"
#include "demodb.h"
#include "errors.h"
#include "exportcommand.h"
#include "exportrun.h"
#include "exportscreendriver.h"
#include "periodpresets.h"
#include "reportengine.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>
#include <cstdio>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A tiny demo database whose fourteen days of sales end yesterday, and a configuration file for it.
struct Demo
{
    QTemporaryDir dir;
    QString database;
    QString config;
    QDate first;
    QDate last;
    QStringList storesOf0001;
    QStringList registersOf0001;
    QString productFrom; // product-tree codes of two items, as the field's text
    QString productTo;

    // A host configuration beside the database, as an operator writes one.
    QString writeConfig(const QString &name, bool branchBound, const QString &databaseName) const
    {
        return testsupport::writeHostConfig(dir.filePath(name), databaseName, branchBound);
    }

    QStringList column(const QString &sql) const
    {
        QStringList values;
        const QString name = u"export_test_"_s + QUuid::createUuid().toString(QUuid::WithoutBraces);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
            db.setDatabaseName(database);
            if (db.open()) {
                QSqlQuery q(sql, db);
                while (q.next())
                    values << q.value(0).toString();
            }
        }
        QSqlDatabase::removeDatabase(name);
        return values;
    }
};

const Demo &demo()
{
    static Demo *d = [] {
        auto *made = new Demo;
        made->database = made->dir.filePath(u"demo.sqlite"_s);
        DatabaseConfig db;
        db.driver = u"QSQLITE"_s;
        db.name = made->database;
        DemoSize size = DemoSize::tiny(300);
        size.lastDay = QDate::currentDate().addDays(-1);
        createDemoDatabase(db, size, 7);
        made->first = size.firstDay();
        made->last = size.lastDay;
        made->storesOf0001 = made->column(u"SELECT CDLOJA FROM LOJA WHERE CDFILIAL = '0001' ORDER BY CDLOJA"_s);
        made->registersOf0001 =
            made->column(u"SELECT CDCAIXA FROM CAIXA WHERE CDFILIAL = '0001' ORDER BY CDCAIXA"_s);
        const QStringList items = made->column(
            u"SELECT CDARVPROD FROM PRODUTO WHERE CDNVPRODUTO = 3 AND CDARVPROD LIKE '01%' ORDER BY CDARVPROD"_s);
        made->productFrom = items.value(1);
        made->productTo = items.value(items.size() - 2);

        made->config = made->writeConfig(u"backoffice.ini"_s, false, made->database);
        return made;
    }();
    return *d;
}

QString shown(const QDate &date)
{
    return date.toString(u"dd/MM/yyyy"_s);
}

QString fileIn(const QString &name)
{
    return demo().dir.filePath(name);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The demo configuration with another [screens] section, written as `name`.
QString configWithScreens(const QString &name, const QByteArray &screens)
{
    const QByteArray base = readAll(demo().config);
    const QString path = fileIn(name);
    QFile ini(path);
    if (ini.open(QIODevice::WriteOnly))
        ini.write(base.left(base.indexOf("[screens]")) + "[screens]\n" + screens);
    return path;
}

using exportrun::Outcome;

Outcome exportWith(QStringList arguments, const QString &config = demo().config)
{
    arguments << u"--config"_s << config;
    return exportrun::run(arguments);
}

// The report saved by the screen itself: open, choose, the user's steps, the file answer, the click.
// `check`: the save dialog's check box (a CSV's leading filter lines) ticked.
QStringList saveByScript(const QString &report, const QJsonArray &filterSteps, const QString &file, bool check = false)
{
    QJsonArray steps{QJsonObject{{u"open"_s, u"Vnd02500"_s}}, QJsonObject{{u"select"_s, report}}};
    for (const QJsonValue &step : filterSteps)
        steps.append(step);
    QJsonObject answer{{u"file"_s, file}};
    if (check)
        answer.insert(u"check"_s, true);
    steps.append(QJsonObject{{u"answer"_s, answer}});
    steps.append(QJsonObject{{u"click"_s, u"sbtSalvarComo"_s}});
    const QJsonObject config{{u"FiliProc"_s, u"0001"_s},
                             {u"database"_s, QJsonObject{{u"driver"_s, u"QSQLITE"_s}, {u"name"_s, demo().database}}}};
    return testsupport::messagesOf(testsupport::runScript(steps, config));
}

QString tool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// What must match between the two files: the issue time (and the XLSX package's own time stamps)
// masked; a CSV carries the issue time only with its filter lines, and is otherwise compared byte
// for byte.
QString comparable(const QString &path)
{
    QString text;
    if (path.endsWith(u".csv")) {
        static const QRegularExpression csvIssued(u"\\r\\nEmitido em;\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d\\r\\n"_s);
        return QString::fromLatin1(
            QString::fromUtf8(readAll(path)).replace(csvIssued, u"\r\nEmitido em;<emissão>\r\n"_s).toUtf8().toHex());
    }
    if (path.endsWith(u".pdf")) {
        text = tool(u"pdftotext"_s, {u"-layout"_s, path, u"-"_s});
    } else if (path.endsWith(u".xlsx")) {
        testsupport::keepWorkbook(path);
        const QStringList entries = tool(u"unzip"_s, {u"-Z1"_s, path}).split(u'\n', Qt::SkipEmptyParts);
        for (const QString &entry : entries)
            text += entry + u'\n' + tool(u"unzip"_s, {u"-p"_s, path, entry}) + u'\n';
    } else {
        text = QString::fromUtf8(readAll(path));
    }
    static const QRegularExpression issued(u"Emitido em \\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d"_s);
    static const QRegularExpression stamp(u"\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ"_s);
    text.replace(issued, u"Emitido em <emissão>"_s);
    text.replace(stamp, u"<hora>"_s);
    return text;
}

// Where two long texts part (a chart is a long data URI): a short stretch of each.
QString firstDifference(const QString &a, const QString &b)
{
    qsizetype i = 0;
    while (i < a.size() && i < b.size() && a.at(i) == b.at(i))
        ++i;
    return u"at %1: export \"%2\" / screen \"%3\""_s.arg(i).arg(a.mid(std::max<qsizetype>(0, i - 40), 80),
                                                             b.mid(std::max<qsizetype>(0, i - 40), 80));
}

QJsonObject click(const QString &control)
{
    return {{u"click"_s, control}};
}

QJsonObject set(const QString &control, const QString &text)
{
    return {{u"set"_s, QJsonArray{control, text}}};
}

QJsonObject pick(const QStringList &keys)
{
    return {{u"answer"_s, QJsonObject{{u"picker"_s, QJsonArray::fromStringList(keys)}}}};
}

QString withoutLeadingZeros(QString code)
{
    while (code.size() > 1 && code.startsWith(u'0'))
        code.remove(0, 1);
    return code;
}

// ---------------------------------------------------------------------------------------------

TEST(Export, WritesWhatTheScreenWritesForTheSameFilters)
{
    const Demo &d = demo();
    ASSERT_GE(d.storesOf0001.size(), 2);
    ASSERT_GE(d.registersOf0001.size(), 2);
    ASSERT_FALSE(d.productFrom.isEmpty());
    const auto lastWeek = PeriodPresets::dates(u"last-week"_s, QDate::currentDate());
    ASSERT_TRUE(lastWeek);
    const QString from = shown(d.first);
    const QString to = shown(d.last);
    const QStringList stores{d.storesOf0001.at(0), d.storesOf0001.at(1)};
    const QStringList registers{d.registersOf0001.at(0), d.registersOf0001.at(1)};
    const QString masked = d.productFrom.left(2) + u'.' + d.productFrom.mid(2, 2) + u'.' + d.productFrom.mid(4);

    struct Case
    {
        const char *label;
        QString report; // title in the list
        QString extension;
        QStringList arguments;
        QJsonArray steps;
    };
    const Case cases[] = {
        {"hours and interval, a week, branch typed short",
         u"Vendas por Hora"_s,
         u"csv"_s,
         {u"--report"_s, u"Vendas por Hora"_s, u"--branch"_s, u"3"_s, u"--period"_s, u"last-week"_s, u"--hours"_s,
          u"08:00-18:00"_s, u"--interval"_s, u"00:30"_s},
         {set(u"edtFilial"_s, u"0003"_s), set(u"depDtHrIni"_s, shown(lastWeek->first)), set(u"depDtHrFin"_s, shown(lastWeek->second)),
          set(u"medHoraIni"_s, u"0800"_s), set(u"medHoraFin"_s, u"1800"_s), set(u"medHoras"_s, u"0030"_s)}},
        {"picked stores, codes given short",
         u"Vendas por Hora/Loja"_s,
         u"xlsx"_s,
         {u"--report"_s, u"vendas por hora/loja"_s, u"--stores"_s,
          withoutLeadingZeros(stores.at(0)) + u',' + stores.at(1), u"--from"_s, from, u"--to"_s, to},
         {click(u"rbtListaLoja"_s), pick(stores), click(u"btnLoja"_s), set(u"depDtHrIni"_s, from),
          set(u"depDtHrFin"_s, to)}},
        {"branch list",
         u"Vendas por Hora/Modalidade"_s,
         u"pdf"_s,
         {u"--report"_s, u"Vendas por Hora/Modalidade"_s, u"--branches"_s, u"0001,2"_s, u"--from"_s, from, u"--to"_s,
          to},
         {click(u"rbtListaFil"_s), pick({u"0001"_s, u"0002"_s}), click(u"btnListaFil"_s), set(u"depDtHrIni"_s, from),
          set(u"depDtHrFin"_s, to)}},
        {"registers and product range",
         u"Vendas por Hora/Produto"_s,
         u"html"_s,
         {u"--report"_s, u"Vendas por Hora/Produto"_s, u"--registers"_s, registers.join(u','), u"--products"_s,
          masked + u':' + d.productTo, u"--from"_s, from, u"--to"_s, to},
         {click(u"rbtListaCaixa"_s), pick(registers), click(u"btnCaixa"_s), set(u"depDtHrIni"_s, from),
          set(u"depDtHrFin"_s, to), set(u"medDe"_s, d.productFrom), set(u"medAte"_s, d.productTo)}},
        {"consolidated without fees",
         u"Resumo de Vendas - Consolidado"_s,
         u"csv"_s,
         {u"--report"_s, u"Resumo de Vendas - Consolidado"_s, u"--no-fees"_s, u"--from"_s, from, u"--to"_s, to},
         {click(u"chbConsideraServico"_s), set(u"depDtHrIni"_s, from), set(u"depDtHrFin"_s, to)}},
        {"by position, yesterday",
         u"Vendas por Dia"_s,
         u"csv"_s,
         {u"--report"_s, u"1"_s, u"--period"_s, u"yesterday"_s},
         {set(u"depDtHrIni"_s, shown(d.last)), set(u"depDtHrFin"_s, shown(d.last))}},
        {"a comparison, CSV with its filters",
         u"Comparativo por Hora"_s,
         u"csv"_s,
         {u"--report"_s, u"Comparativo por Hora"_s, u"--csv-filters"_s, u"--period"_s, u"last-week"_s},
         {set(u"depDtHrIni"_s, shown(lastWeek->first)), set(u"depDtHrFin"_s, shown(lastWeek->second))}},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const QString exported = fileIn(u"export_%1.%2"_s.arg(n).arg(c.extension));
        const QString saved = fileIn(u"script_%1.%2"_s.arg(n++).arg(c.extension));
        const Outcome o = exportWith(c.arguments + QStringList{u"--out"_s, exported});
        EXPECT_EQ(o.status, 0) << o.err.toStdString();
        EXPECT_EQ(o.err, QString());
        const bool withFilters = c.arguments.contains(u"--csv-filters"_s);
        EXPECT_EQ(saveByScript(c.report, c.steps, saved, withFilters), QStringList());
        ASSERT_TRUE(QFile::exists(saved));
        ASSERT_TRUE(QFile::exists(exported));
        const QString expected = comparable(saved);
        if (c.extension == u"csv") {
            EXPECT_GT(readAll(saved).count('\n'), 1) << "no detail rows: the comparison would prove little";
            // only the option puts the title first; a plain CSV opens with its headings
            EXPECT_EQ(readAll(saved).mid(3).startsWith(c.report.toUtf8() + "\r\n"), withFilters);
        } else {
            EXPECT_TRUE(expected.contains(c.report) && !expected.contains(u"Nenhuma venda encontrada"_s))
                << "no title or no rows: the comparison would prove little";
        }
        const QString got = comparable(exported);
        EXPECT_TRUE(got == expected) << firstDifference(got, expected).toStdString();
    }
}

TEST(Export, RefusesWithTheMessageAndStatusAndWritesNothing)
{
    const Demo &d = demo();
    const QString from = shown(d.first);
    const QString to = shown(d.last);
    const QStringList period{u"--from"_s, from, u"--to"_s, to};
    struct Case
    {
        const char *label;
        QStringList arguments;
        int status;
        QString message; // a line of standard error, after "backoffice: "; a prefix for usage errors
        bool existing;   // a file of that name is there before, and must stay as it was
    };
    const Case cases[] = {
        {"no branch", {u"--report"_s, u"Vendas por Hora"_s, u"--branch"_s, u""_s}, 1, u"Filial deve ser informada."_s, true},
        {"no branch in the list",
         {u"--report"_s, u"Vendas por Hora/Modalidade"_s, u"--branches"_s, u""_s},
         1,
         u"Filial deve ser informada."_s,
         false},
        {"branch not registered", {u"--report"_s, u"Vendas por Hora"_s, u"--branch"_s, u"0099"_s}, 1, u"Filial não cadastrada."_s, false},
        {"bad hour",
         {u"--report"_s, u"Vendas por Hora"_s, u"--hours"_s, u"25:00-18:00"_s},
         1,
         u"'2500' não é uma hora válida."_s,
         true},
        {"interval on a report without one", {u"--report"_s, u"Vendas por Dia"_s, u"--hours"_s, u"08:00-18:00"_s, u"--interval"_s, u"01:00"_s}, 2,
         u"a opção --interval não se aplica ao relatório \"Vendas por Dia\""_s, false},
        {"store list empty",
         {u"--report"_s, u"Vendas por Hora/Loja"_s, u"--stores"_s, u""_s},
         1,
         u"Loja deve ser informada."_s,
         true},
        {"store the picker does not offer",
         {u"--report"_s, u"Vendas por Hora/Loja"_s, u"--stores"_s, d.storesOf0001.value(0) + u",999"_s},
         1,
         u"Loja '0000000999' não está entre as lojas oferecidas para a filial informada."_s,
         false},
        {"start after end",
         {u"--report"_s, u"Vendas por Dia"_s, u"--from"_s, to, u"--to"_s, from},
         1,
         u"Data inicial deve ser menor que a data final."_s,
         false},
        {"unknown option", {u"--report"_s, u"Vendas por Dia"_s, u"--filial"_s, u"0001"_s}, 2, u"opção desconhecida: \"--filial\""_s, true},
        {"unknown report", {u"--report"_s, u"Vendas por Semana"_s}, 2, u"relatório desconhecido: \"Vendas por Semana\""_s, true},
        {"position past the list", {u"--report"_s, u"99"_s}, 2, u"relatório desconhecido: \"99\""_s, false},

        {"bad date",
         {u"--report"_s, u"Vendas por Dia"_s, u"--from"_s, u"31/02/2026"_s, u"--to"_s, to},
         2,
         u"data inválida em --from: \"31/02/2026\""_s,
         true},
        {"branch list on a one-branch report",
         {u"--report"_s, u"Vendas por Hora"_s, u"--all-branches"_s},
         2,
         u"o relatório \"Vendas por Hora\" recebe uma só filial"_s,
         false},
        {"branch code the field drops a letter of",
         {u"--report"_s, u"Vendas por Hora"_s, u"--branch"_s, u"00a1"_s},
         2,
         u"o valor \"00a1\" de --branch não cabe no campo da tela (ficou \"001\")"_s,
         false},
        {"product code longer than its mask",
         {u"--report"_s, u"Vendas por Hora/Produto"_s, u"--products"_s, u"01020011:0102999"_s},
         2,
         u"o valor \"01020011\" de --products não cabe no campo da tela (ficou \"0102001\")"_s,
         false},
        {"stores on the consolidated summary",
         {u"--report"_s, u"Resumo de Vendas - Consolidado"_s, u"--stores"_s, u"1"_s},
         2,
         u"a opção --stores não se aplica"_s,
         false},
        // Filters the chosen report does not take, whether its field is open or not.
        {"branch on the consolidated summary",
         {u"--report"_s, u"Resumo de Vendas - Consolidado"_s, u"--branch"_s, u"0001"_s},
         2,
         u"a opção --branch não se aplica ao relatório \"Resumo de Vendas - Consolidado\": ele não recebe esse filtro"_s,
         true},
        {"registers on the daily summary", {u"--report"_s, u"Resumo de Vendas por Dia"_s, u"--registers"_s, u"1"_s}, 2, u"a opção --registers não se aplica"_s, false},
        {"registers on the hour/modality report", {u"--report"_s, u"Vendas por Hora/Modalidade"_s, u"--registers"_s, u"1"_s}, 2, u"a opção --registers não se aplica"_s, false},
        {"registers on the average ticket", {u"--report"_s, u"Ticket Médio por Dia"_s, u"--registers"_s, u"1"_s}, 2, u"a opção --registers não se aplica"_s, false},
        {"registers on the heat map", {u"--report"_s, u"Mapa de Calor Dia/Hora"_s, u"--registers"_s, u"1"_s}, 2, u"a opção --registers não se aplica"_s, false},
        {"registers on the comparison", {u"--report"_s, u"Comparativo por Hora"_s, u"--registers"_s, u"1"_s}, 2, u"a opção --registers não se aplica"_s, true},
        {"interval on the average ticket", {u"--report"_s, u"Ticket Médio por Dia"_s, u"--interval"_s, u"00:30"_s}, 2, u"a opção --interval não se aplica"_s, false},
        {"products on the hour report", {u"--report"_s, u"Vendas por Hora"_s, u"--products"_s, u"0101001:0101002"_s}, 2, u"a opção --products não se aplica"_s, false},
        {"period and dates", {u"--report"_s, u"Vendas por Dia"_s, u"--period"_s, u"yesterday"_s, u"--from"_s, from}, 2, u"use --period ou --from/--to"_s, false},
        {"unknown period", {u"--report"_s, u"Vendas por Dia"_s, u"--period"_s, u"amanha"_s}, 2, u"período desconhecido"_s, false},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const QString name = u"refused_%1.csv"_s.arg(n++, 2, 10, QChar(u'0'));
        const QString out = fileIn(name);
        const QByteArray before = "relatorio anterior\r\n";
        if (c.existing) {
            QFile file(out);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
        }
        QStringList arguments = c.arguments;
        if (!arguments.contains(u"--from"_s) && !arguments.contains(u"--period"_s))
            arguments << period;
        const Outcome o = exportWith(arguments + QStringList{u"--out"_s, out});
        EXPECT_EQ(o.status, c.status) << o.err.toStdString();
        const QStringList lines = o.err.split(u'\n', Qt::SkipEmptyParts);
        const bool found = std::any_of(lines.cbegin(), lines.cend(), [&](const QString &line) {
            return c.status == 2 ? line.startsWith(u"backoffice: "_s + c.message) : line == u"backoffice: "_s + c.message;
        });
        EXPECT_TRUE(found) << o.err.toStdString();
        if (c.existing)
            EXPECT_EQ(readAll(out), before);
        else
            EXPECT_FALSE(QFile::exists(out));
        // No temporary file stays behind either.
        const QStringList left = QDir(demo().dir.path()).entryList({name + u'*'}, QDir::Files | QDir::Hidden);
        EXPECT_EQ(left.size(), c.existing ? 1 : 0) << left.join(u' ').toStdString();
    }

    // A folder that is not there: the engine's own message.
    const Outcome o = exportWith(QStringList{u"--report"_s, u"Vendas por Dia"_s, u"--out"_s, fileIn(u"nao/x.csv"_s)} + period);
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.err.startsWith(u"backoffice: Não foi possível gravar o arquivo"_s)) << o.err.toStdString();
}

// What the configuration says: a branch-bound user, a database that is not there.
// The CSV's leading lines belong to CSV: asked for another format, it is a usage error, not a file
// that silently lacks them.
TEST(Export, CsvFiltersOnlyForACsv)
{
    const Demo &d = demo();
    for (const char *extension : {"pdf", "xlsx", "html"}) {
        const QString out = fileIn(u"filtros.%1"_s.arg(QLatin1String(extension)));
        const Outcome o = exportWith({u"--report"_s, u"Vendas por Dia"_s, u"--csv-filters"_s, u"--from"_s, shown(d.first),
                                      u"--to"_s, shown(d.last), u"--out"_s, out});
        EXPECT_EQ(o.status, 2) << extension;
        EXPECT_TRUE(o.err.startsWith(u"backoffice: --csv-filters só vale para um arquivo .csv"_s)) << o.err.toStdString();
        EXPECT_FALSE(QFile::exists(out)) << extension;
    }
}

TEST(Export, FollowsTheConfiguration)
{
    const Demo &d = demo();
    const QString bound = d.writeConfig(u"vinculada.ini"_s, true, d.database);
    const QString missing = d.writeConfig(u"sem_banco.ini"_s, false, d.dir.filePath(u"nao_existe.sqlite"_s));
    const QStringList yesterday{u"--period"_s, u"yesterday"_s};
    struct Case
    {
        const char *label;
        QString config;
        QStringList arguments;
        int status;
        QString err; // the first line of standard error, after "backoffice: "
        QString out;
    };
    const Case cases[] = {
        {"branch-bound: the one branch", bound, {u"--list-branches"_s}, 0, {}, u"0001\n"_s},
        {"branch-bound: its branch by default", bound, {u"--report"_s, u"Vendas por Hora"_s}, 0, {}, {}},
        {"branch-bound: another branch",
         bound,
         {u"--report"_s, u"Vendas por Hora"_s, u"--branch"_s, u"0002"_s},
         2,
         u"a opção --branch não se aplica ao relatório \"Vendas por Hora\" nesta configuração"_s,
         {}},
        {"branch-bound: the consolidated summary cannot be saved",
         bound,
         {u"--report"_s, u"Resumo de Vendas - Consolidado"_s},
         1,
         u"O relatório \"Resumo de Vendas - Consolidado\" não pode ser salvo nesta configuração."_s,
         {}},
        {"no database",
         missing,
         {u"--report"_s, u"Vendas por Hora"_s},
         1,
         u"Não foi possível conectar ao banco de dados '%1': o arquivo não existe."_s.arg(d.dir.filePath(u"nao_existe.sqlite"_s)),
         {}},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const QString file = fileIn(u"config_%1.csv"_s.arg(n++));
        QStringList arguments = c.arguments;
        if (!arguments.contains(u"--list-branches"_s))
            arguments << yesterday << u"--out"_s << file;
        const Outcome o = exportWith(arguments, c.config);
        EXPECT_EQ(o.status, c.status) << o.err.toStdString();
        EXPECT_EQ(o.err.section(u'\n', 0, 0), c.err.isEmpty() ? QString() : u"backoffice: "_s + c.err);
        EXPECT_EQ(o.out, c.out);
        EXPECT_EQ(QFile::exists(file), c.status == 0 && !arguments.contains(u"--list-branches"_s));
    }
}

// The screen the export runs is the first configured one whose module registered an export
// driver for its code; a configuration with none says so instead of opening some screen.
TEST(Export, RunsTheFirstConfiguredScreenWhoseModuleExportsIt)
{
    const QByteArray unexported = "1\\code=Vnd09999\n1\\module=Pkg_Vnd02500\n1\\menu=Telas/Outra\n";
    struct Case
    {
        const char *label;
        QByteArray screens;
        int status;
        QString listed; // the configured screens the message names
    };
    const Case cases[] = {
        {"no screen", "size=0\n", 2, u"nenhuma"_s},
        {"a screen its module does not export", "size=1\n" + unexported, 2, u"Vnd09999"_s},
        {"the exported one after it",
         "size=2\n" + unexported + "2\\code=Vnd02500\n2\\module=Pkg_Vnd02500\n2\\menu=Telas/Vendas\n", 0, {}},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const QString config = configWithScreens(u"telas_%1.ini"_s.arg(n), c.screens);
        const QString out = fileIn(u"telas_%1.csv"_s.arg(n++));
        const Outcome o = exportWith({u"--report"_s, u"Vendas por Dia"_s, u"--period"_s, u"yesterday"_s, u"--out"_s, out}, config);
        EXPECT_EQ(o.status, c.status) << o.err.toStdString();
        EXPECT_EQ(o.err, c.status == 0 ? QString()
                                       : u"backoffice: Nenhuma tela da configuração '%1' exporta relatórios (telas "
                                         u"configuradas: %2): o módulo de cada uma não oferece a exportação.\n"_s.arg(
                                             config, c.listed));
        EXPECT_EQ(QFile::exists(out), c.status == 0);
    }
}

// A module's driver as the command sees it: what it answers is the case's, every step it is asked
// for is written down.
struct DriverAnswers
{
    bool opens = true;
    bool readable = true; // the chosen report's definition
    bool listOpens = true;
    QStringList offered{u"0001"_s};
    bool saves = true; // the save ran the report engine
    std::optional<QStringList> branchCodes = QStringList{u"0001"_s, u"0002"_s};
};

class RecordingDriver : public ExportScreenDriver
{
public:
    RecordingDriver(const DriverAnswers &answers, QStringList &calls) : mAnswers(answers), mCalls(calls) {}

    bool open() override
    {
        note(u"open"_s);
        return mAnswers.opens;
    }
    QStringList reportTitles() const override { return {u"Diário"_s, u"Por hora"_s}; }
    QList<ExportOption> takenOptions(int index) const override
    {
        note(u"taken %1"_s.arg(index));
        if (!mAnswers.readable)
            throw EHostError(u"Definição ilegível."_s);
        return {ExportOption::Branch, ExportOption::Stores, ExportOption::Hours};
    }
    void selectReport(int index) override { note(u"select %1"_s.arg(index)); }
    bool isOpen(ExportOption) const override { return true; }
    bool takesBranchList() const override { return false; }
    QString type(ExportField field, const QString &text) override
    {
        note(u"type %1 %2"_s.arg(int(field)).arg(text));
        return text;
    }
    void setPeriod(const QDate &from, const QDate &to) override { note(u"period %1 %2"_s.arg(from.toString(), to.toString())); }
    void choose(ExportOption option) override { note(u"choose %1"_s.arg(int(option))); }
    QStringList listKeys(ExportOption, const QStringList &codes) const override
    {
        QStringList keys;
        for (const QString &code : codes)
            keys << Ajusta(code, 4);
        return keys;
    }
    std::optional<QStringList> pick(ExportOption, const QStringList &keys) override
    {
        note(u"pick "_s + keys.join(u','));
        return mAnswers.listOpens ? std::optional(mAnswers.offered) : std::nullopt;
    }
    void leaveOutFees() override { note(u"fees"_s); }
    bool canSave() const override { return true; }
    void save(const QString &path, bool csvFilters) override
    {
        note(u"save %1 %2"_s.arg(QFileInfo(path).fileName()).arg(int(csvFilters)));
        ReportRun run;
        run.outcome = ReportRun::Outcome::Saved;
        if (mAnswers.saves)
            Q_EMIT ReportEngine::instance().finished(run);
    }
    std::optional<QStringList> branchCodes() override { return mAnswers.branchCodes; }
    QStringList idleStores() override { return {}; }

private:
    void note(const QString &call) const { mCalls << call; }

    DriverAnswers mAnswers;
    QStringList &mCalls;
};

// The command's side of the driver contract, on a driver that answers as told: the order it asks
// for the steps in, and its refusals when a driver cannot do what was asked.
TEST(Export, AsksTheModulesDriverAndRefusesInItsOwnWords)
{
    const QString config =
        configWithScreens(u"driver.ini"_s, "size=1\n1\\code=Fake01\n1\\module=Pkg_Vnd02500\n1\\menu=Telas/Falsa\n");
    const QStringList run{u"--report"_s, u"por HORA"_s, u"--period"_s, u"yesterday"_s, u"--out"_s, fileIn(u"driver.csv"_s)};
    const QDate yesterday = QDate::currentDate().addDays(-1);
    struct Case
    {
        const char *label;
        QStringList arguments;
        DriverAnswers answers;
        int status;
        QString err; // the first line of standard error, after "backoffice: "
        QString out;
        QStringList calls; // checked when given
    };
    const auto with = [](auto change) {
        DriverAnswers answers;
        change(answers);
        return answers;
    };
    const Case cases[] = {
        {"every filter, in the screen's order",
         run + QStringList{u"--stores"_s, u"1"_s, u"--hours"_s, u"08:00-18:00"_s, u"--branch"_s, u"0001"_s},
         {},
         0,
         {},
         {},
         {u"open"_s, u"taken 1"_s, u"select 1"_s, u"type 0 0001"_s, u"choose 3"_s, u"pick 0001"_s,
          u"period %1 %1"_s.arg(yesterday.toString()), u"type 1 0800"_s, u"type 2 1800"_s, u"save driver.csv 0"_s}},
        {"the screen does not open", run, with([](DriverAnswers &a) { a.opens = false; }), 1, u"A tela Fake01 não foi aberta."_s, {}, {u"open"_s}},
        {"an unreadable definition", run, with([](DriverAnswers &a) { a.readable = false; }), 1, u"Definição ilegível."_s, {}, {}},
        {"an option the report does not take", run + QStringList{u"--interval"_s, u"01:00"_s}, {}, 2,
         u"a opção --interval não se aplica ao relatório \"Por hora\": ele não recebe esse filtro"_s, {}, {}},
        {"the list does not open", run + QStringList{u"--stores"_s, u"1"_s}, with([](DriverAnswers &a) { a.listOpens = false; }), 1,
         u"A lista de --stores não foi aberta."_s, {}, {}},
        {"a code the list does not offer, named as the list holds it", run + QStringList{u"--stores"_s, u"1,2"_s}, {}, 1,
         u"Loja '0002' não está entre as lojas oferecidas para a filial informada."_s, {}, {}},
        {"a save that ran no report", run, with([](DriverAnswers &a) { a.saves = false; }), 1,
         u"O relatório \"Por hora\" não foi gravado."_s, {}, {}},
        {"the branch codes", {u"--list-branches"_s}, {}, 0, {}, u"0001\n0002\n"_s, {u"open"_s}},
        {"a branch search that does not open", {u"--list-branches"_s},
         with([](DriverAnswers &a) { a.branchCodes = std::nullopt; }), 1, u"A pesquisa de filial não foi aberta."_s, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        QStringList calls;
        ExportScreenDriver::registerFactory(u"Fake01"_s, [&c, &calls](ScreenSteps &) {
            return std::make_unique<RecordingDriver>(c.answers, calls);
        });
        const Outcome o = exportWith(c.arguments, config);
        ExportScreenDriver::unregisterFactory(u"Fake01"_s);
        EXPECT_EQ(o.status, c.status) << o.err.toStdString();
        EXPECT_EQ(o.err.section(u'\n', 0, 0), c.err.isEmpty() ? QString() : u"backoffice: "_s + c.err);
        EXPECT_EQ(o.out, c.out);
        if (!c.calls.isEmpty()) {
            EXPECT_EQ(calls, c.calls);
        }
    }
}

TEST(Export, PeriodsFollowTheLocalCalendar)
{
    struct Case
    {
        const char *period;
        QDate today;
        QDate first;
        QDate last;
    };
    const Case cases[] = {
        {"yesterday", QDate(2026, 12, 9), QDate(2026, 12, 8), QDate(2026, 12, 8)},
        {"yesterday", QDate(2027, 1, 1), QDate(2026, 12, 31), QDate(2026, 12, 31)},
        {"yesterday", QDate(2028, 3, 1), QDate(2028, 2, 29), QDate(2028, 2, 29)},
        {"last-week", QDate(2026, 12, 9), QDate(2026, 11, 30), QDate(2026, 12, 6)},  // a Wednesday
        {"last-week", QDate(2026, 12, 7), QDate(2026, 11, 30), QDate(2026, 12, 6)},  // a Monday
        {"last-week", QDate(2026, 12, 13), QDate(2026, 11, 30), QDate(2026, 12, 6)}, // a Sunday
        {"last-week", QDate(2027, 1, 3), QDate(2026, 12, 21), QDate(2026, 12, 27)},
        {"last-month", QDate(2026, 12, 9), QDate(2026, 11, 1), QDate(2026, 11, 30)},
        {"last-month", QDate(2027, 1, 31), QDate(2026, 12, 1), QDate(2026, 12, 31)},
        {"last-month", QDate(2028, 3, 31), QDate(2028, 2, 1), QDate(2028, 2, 29)},
        {"month-to-date", QDate(2026, 12, 9), QDate(2026, 12, 1), QDate(2026, 12, 9)},
        {"month-to-date", QDate(2026, 12, 1), QDate(2026, 12, 1), QDate(2026, 12, 1)},
        {"today", QDate(2028, 2, 29), QDate(2028, 2, 29), QDate(2028, 2, 29)},
        {"this-week", QDate(2026, 12, 9), QDate(2026, 12, 7), QDate(2026, 12, 9)},  // a Wednesday
        {"this-week", QDate(2026, 12, 7), QDate(2026, 12, 7), QDate(2026, 12, 7)},  // a Monday
        {"this-week", QDate(2027, 1, 3), QDate(2026, 12, 28), QDate(2027, 1, 3)},   // a Sunday, over the year
        {"last-7-days", QDate(2027, 1, 3), QDate(2026, 12, 28), QDate(2027, 1, 3)},
        {"last-30-days", QDate(2028, 3, 1), QDate(2028, 2, 1), QDate(2028, 3, 1)},  // February of 29 days
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.period) + " " + c.today.toString(Qt::ISODate).toStdString());
        const auto dates = PeriodPresets::dates(QString::fromLatin1(c.period), c.today);
        ASSERT_TRUE(dates);
        EXPECT_EQ(dates->first, c.first);
        EXPECT_EQ(dates->second, c.last);
    }
    EXPECT_FALSE(PeriodPresets::dates(u"tomorrow"_s, QDate(2026, 12, 9)));
}

// The executable: the subcommand, its help, its status, and a cron-like loop over the branches.
TEST(Export, TheExecutableRunsTheSubcommand)
{
    const Demo &d = demo();
    const QString program = QStringLiteral(BO_BINARY_DIR "/bin/backoffice");
    auto runProgram = [&](const QStringList &arguments, QString *out = nullptr, QString *err = nullptr) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"QT_QPA_PLATFORM"_s); // the subcommand picks the offscreen platform itself
        process.setProcessEnvironment(env);
        process.start(program, QStringList{u"export"_s} + arguments);
        if (!process.waitForFinished(120000))
            return -1;
        if (out)
            *out = QString::fromUtf8(process.readAllStandardOutput());
        if (err)
            *err = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };

    QString out;
    QString err;
    EXPECT_EQ(runProgram({u"--help"_s}, &out), 0);
    EXPECT_TRUE(out.startsWith(u"Uso: backoffice export"_s)) << out.toStdString();
    EXPECT_TRUE(out.contains(u"--period <período>"_s));

    EXPECT_EQ(runProgram({u"--bogus"_s}, nullptr, &err), 2);
    EXPECT_TRUE(err.contains(u"opção desconhecida: \"--bogus\""_s)) << err.toStdString();

    EXPECT_EQ(runProgram({u"--list-branches"_s, u"--config"_s, d.config}, &out, &err), 0) << err.toStdString();
    QStringList listed = out.split(u'\n', Qt::SkipEmptyParts);
    QStringList branches = d.column(u"SELECT CDFILIAL FROM FILIAL"_s);
    listed.sort();
    branches.sort();
    EXPECT_EQ(listed, branches);

    // Yesterday's "Vendas por Hora" of every branch, one dated file each, as docs/export.md's cron line.
    const QString stamp = d.last.toString(Qt::ISODate);
    const QStringList sold = d.column(u"SELECT DISTINCT CDFILIAL FROM VENDA WHERE DTVENDA = '%1'"_s.arg(stamp));
    ASSERT_FALSE(sold.isEmpty());
    for (const QString &branch : listed) {
        SCOPED_TRACE(branch.toStdString());
        const QString file = fileIn(u"vendas-hora-%1-%2.csv"_s.arg(branch, stamp));
        const int status = runProgram({u"--config"_s, d.config, u"--report"_s, u"Vendas por Hora"_s, u"--branch"_s, branch,
                                       u"--period"_s, u"yesterday"_s, u"--out"_s, file},
                                      nullptr, &err);
        EXPECT_EQ(status, 0) << err.toStdString();
        EXPECT_TRUE(QFile::exists(file));
        if (sold.contains(branch)) {
            EXPECT_GT(readAll(file).count('\n'), 1);
        }
    }

    EXPECT_EQ(runProgram({u"--config"_s, d.config, u"--report"_s, u"Vendas por Hora/Loja"_s, u"--stores"_s, u""_s,
                          u"--period"_s, u"yesterday"_s, u"--out"_s, fileIn(u"lojas.csv"_s)},
                         nullptr, &err),
              1);
    EXPECT_EQ(err, u"backoffice: Loja deve ser informada.\n"_s);
    EXPECT_FALSE(QFile::exists(fileIn(u"lojas.csv"_s)));
}

// The user's file and the configuration, seen from the command line: the same refusal, in the same
// words, as the screen gives (the file layer is one for both), and no file touched.
TEST(Export, RefusesTheUsersFilesAndABadConfigurationInTheScreensWords)
{
    const Demo &d = demo();
    const QStringList report{u"--report"_s, u"Vendas por Dia"_s, u"--period"_s, u"yesterday"_s};
    const QByteArray old("versão do usuário\n");
    struct Case
    {
        const char *label;
        QString out;
        bool readOnly;
        QString reason; // the second line of the message
    };
    const QString longName = fileIn(QString(296, u'v') + u".csv"_s);
    const Case cases[] = {
        {"read-only CSV", fileIn(u"somente_leitura.csv"_s), true,
         u"O arquivo existente não permite gravação (somente leitura) para este usuário."_s},
        {"read-only XLSX", fileIn(u"somente_leitura.xlsx"_s), true,
         u"O arquivo existente não permite gravação (somente leitura) para este usuário."_s},
        {"name too long", longName, false, u"O nome do arquivo (ou do caminho) é longo demais para o sistema de arquivos."_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        if (c.readOnly) {
            QFile file(c.out);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(old);
            file.close();
            QFile::setPermissions(c.out, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        }
        const Outcome o = exportWith(report + QStringList{u"--out"_s, c.out}, d.config);
        EXPECT_EQ(o.status, 1) << o.err.toStdString();
        EXPECT_EQ(o.err.section(u'\n', 0, 1),
                  u"backoffice: Não foi possível gravar o arquivo '%1'.\n%2"_s.arg(QDir::toNativeSeparators(c.out), c.reason));
        if (c.readOnly) {
            EXPECT_EQ(readAll(c.out), old);
        }
    }

    // A configuration with a port out of range: the export does not start (usage status 2), and
    // neither does the window program, each naming the file, the key and the value.
    const QString bad = fileIn(u"porta.ini"_s);
    {
        QFile ini(d.config);
        ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
        QFile out(bad);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(ini.readAll().replace("[context]\n", "[context]\nWebPort=99999\n"));
    }
    const QString expected = u"backoffice: O arquivo de configuração '%1' não pode ser usado:\n"
                             u"[context] WebPort = \"99999\": a porta deve ser um número de 1 a 65535.\n"_s.arg(bad);
    const Outcome o = exportWith(report + QStringList{u"--out"_s, fileIn(u"porta.csv"_s)}, bad);
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(o.err.startsWith(expected)) << o.err.toStdString();
    EXPECT_FALSE(QFile::exists(fileIn(u"porta.csv"_s)));

    QProcess window;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s); // no one to see a dialog: standard error only
    window.setProcessEnvironment(env);
    window.start(QStringLiteral(BO_BINARY_DIR "/bin/backoffice"), {u"--config"_s, bad});
    ASSERT_TRUE(window.waitForFinished(60000));
    EXPECT_EQ(window.exitCode(), 2);
    const QString err = QString::fromUtf8(window.readAllStandardError());
    EXPECT_TRUE(err.contains(expected)) << err.toStdString(); // after any notice of Qt's
}

} // namespace

namespace {

// The XLSX writer is a module loaded on the first XLSX written. Where it cannot be loaded, the
// export fails with the file's message naming the module and why, and the user's file stays as it
// was; pointed at the build's module, the same call writes.
TEST(Export, AnXlsxModuleThatCannotBeLoadedLeavesTheFileAsItWas)
{
    const Demo &d = demo();
    const QString built = QStringLiteral(BO_BINARY_DIR "/lib");
    const QByteArray module = readAll(built + u"/libbohost_xlsx.so"_s);
    ASSERT_TRUE(module.startsWith("\x7f" "ELF"));
    auto edited = [&module](const char *from, const char *to) { // same length: the file stays an ELF
        QByteArray bytes = module;
        return bytes.contains(from) ? bytes.replace(from, to) : QByteArray();
    };
    const QByteArray old("planilha anterior\n");
    struct Case
    {
        const char *label;
        QByteArray moduleBytes; // written as the folder's libbohost_xlsx.so; null: no such file
        QString reason;         // the message's second line after "O módulo de planilhas XLSX '<file>' "
        QString loaderSays;     // in the loader's text that follows (%1: the module's file)
        bool writes = false;    // the folder is the build's own
    };
    const Case cases[] = {
        {"no module in the folder", {}, u"não pôde ser carregado: o arquivo não existe."_s, {}},
        {"a module that is not a library", QByteArray("não é uma biblioteca\n"), u"não pôde ser carregado: "_s,
         u"%1: file too short"_s},
        {"a library the module needs is missing", edited("libxlsxwriter.so", "libxlsxabsent.so"),
         u"não pôde ser carregado: "_s, u"libxlsxabsent.so"_s},
        {"a module without the entry point", edited("boWriteXlsx", "boWriteXlsY"),
         u"não é desta versão do programa (não tem a função boWriteXlsx)."_s, {}},
        {"the build's module", {}, {}, {}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        QTemporaryDir modules;
        QTemporaryDir target;
        ASSERT_TRUE(modules.isValid() && target.isValid());
        const QString folder = c.writes ? built : modules.path();
        const QString moduleFile = QDir::toNativeSeparators(QDir(folder).filePath(u"libbohost_xlsx.so"_s));
        if (!c.writes && !c.moduleBytes.isNull()) {
            ASSERT_FALSE(c.moduleBytes.isEmpty()) << "the name to edit is not in the module";
            QFile fake(moduleFile);
            ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
            fake.write(c.moduleBytes);
        }
        const QString out = target.filePath(u"vendas.xlsx"_s);
        {
            QFile file(out);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(old);
        }

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"BO_XLSX_MODULE_DIR"_s, folder);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(BO_BINARY_DIR "/bin/backoffice"),
                      {u"export"_s, u"--config"_s, d.config, u"--report"_s, u"Vendas por Dia"_s, u"--period"_s,
                       u"yesterday"_s, u"--out"_s, out});
        ASSERT_TRUE(process.waitForFinished(120000));
        ASSERT_EQ(process.exitStatus(), QProcess::NormalExit); // no crash
        const QString err = QString::fromUtf8(process.readAllStandardError());
        EXPECT_EQ(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"vendas.xlsx"_s})
            << "no temporary left";
        if (c.writes) {
            EXPECT_EQ(process.exitCode(), 0) << err.toStdString();
            EXPECT_TRUE(readAll(out).startsWith("PK"));
            continue;
        }
        EXPECT_EQ(process.exitCode(), 1);
        const QStringList lines = err.trimmed().split(u'\n');
        ASSERT_EQ(lines.size(), 3) << err.toStdString();
        EXPECT_EQ(lines.at(0), u"backoffice: Não foi possível gravar o arquivo '%1'."_s.arg(QDir::toNativeSeparators(out)));
        const QString reason = u"O módulo de planilhas XLSX '%1' "_s.arg(moduleFile) + c.reason;
        EXPECT_TRUE(lines.at(1).startsWith(reason)) << lines.at(1).toStdString();
        if (c.loaderSays.isEmpty()) {
            EXPECT_EQ(lines.at(1), reason);
        } else {
            const QString loader = c.loaderSays.contains(u"%1"_s) ? c.loaderSays.arg(moduleFile) : c.loaderSays;
            EXPECT_TRUE(lines.at(1).mid(reason.size()).contains(loader)) << lines.at(1).toStdString();
        }
        EXPECT_EQ(lines.at(2), u"O arquivo anterior, se existia, não foi alterado."_s);
        EXPECT_EQ(readAll(out), old);
    }
}

} // namespace

// Where the database keeps the sales summary the report reads it, and --no-summary the sales
// themselves; without the summary table the report reads the sales. A summary made wrong on
// purpose tells which one was read.
TEST(Export, ReadsTheSalesSummaryWhereTheDatabaseHasIt)
{
    const Demo &d = demo();
    const QString copy = fileIn(u"resumo.sqlite"_s);
    QFile::remove(copy);
    ASSERT_TRUE(QFile::copy(d.database, copy));
    const QString config = d.writeConfig(u"resumo.ini"_s, false, copy);
    const auto exec = [&copy](const QString &sql) {
        const QString name = u"export_summary"_s;
        QString error;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
            db.setDatabaseName(copy);
            QSqlQuery q(db);
            if (!db.open() || !q.exec(sql))
                error = q.lastError().text() + db.lastError().text();
        }
        QSqlDatabase::removeDatabase(name);
        return error;
    };
    const auto csv = [&](const QString &file, const QStringList &more) {
        const Outcome o = exportWith(QStringList{u"--report"_s, u"Vendas por Hora"_s, u"--from"_s, shown(d.first),
                                                 u"--to"_s, shown(d.last), u"--out"_s, fileIn(file)} + more,
                                     config);
        EXPECT_EQ(o.status, 0) << o.err.toStdString();
        return readAll(fileIn(file));
    };
    const QByteArray sales = csv(u"vendas.csv"_s, {u"--no-summary"_s});
    ASSERT_FALSE(sales.isEmpty());
    EXPECT_EQ(csv(u"resumo.csv"_s, {}), sales);

    ASSERT_EQ(exec(u"UPDATE RESVENDAHORA SET VRTOTVENDA = VRTOTVENDA + 100"_s), QString());
    EXPECT_NE(csv(u"resumo.csv"_s, {}), sales);
    EXPECT_EQ(csv(u"vendas.csv"_s, {u"--no-summary"_s}), sales);

    ASSERT_EQ(exec(u"DROP TABLE RESVENDAHORA"_s), QString());
    EXPECT_EQ(csv(u"resumo.csv"_s, {}), sales);
}
