#include "exportcommand.h"

#include "consiste.h"
#include "errors.h"
#include "hostsession.h"
#include "recordingui.h"
#include "reportdefinition.h"
#include "reportengine.h"
#include "reportexport.h"
#include "scriptrunner.h"
#include "tfrmdadosgerrel.h"
#include "widgets.h"

#include <QAbstractButton>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QRegularExpression>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace ExportCommand {

namespace {

// The screen whose reports the command runs, opened as its menu entry does.
const QString kScreen = u"Vnd02500"_s;

struct OptionDef
{
    const char *name;
    const char *valueName; // nullptr: a flag
    const char *help;
};

const OptionDef kOptions[] = {
    {"report", "relatório", "Título do relatório como na lista da tela, ou a sua posição na lista (1 = o primeiro)."},
    {"from", "dd/mm/aaaa", "Data inicial do período."},
    {"to", "dd/mm/aaaa", "Data final do período."},
    {"period", "período",
     "Em lugar de --from/--to, pelo calendário local: yesterday (ontem), last-week (a semana passada, de segunda "
     "a domingo), last-month (o mês passado), month-to-date (do dia 1 do mês até hoje)."},
    {"branch", "filial", "Código da filial (sem a opção, a filial da configuração)."},
    {"branches", "f1,f2,...", "Lista de filiais (só para o relatório que recebe lista de filiais)."},
    {"all-branches", nullptr, "Todas as filiais (só para o relatório que recebe lista de filiais)."},
    {"stores", "l1,l2,...", "Lista de lojas (sem a opção, todas)."},
    {"registers", "c1,c2,...", "Lista de caixas (sem a opção, todos)."},
    {"hours", "HH:MM-HH:MM", "Horário de venda de cada dia."},
    {"interval", "HH:MM", "Intervalo de horas de cada linha."},
    {"products", "de:até", "Faixa de produtos (códigos da árvore de produtos)."},
    {"no-fees", nullptr, "Não considera as taxas de serviço e de entrega (resumo consolidado)."},
    {"config", "arquivo", "Arquivo de configuração (INI); sem a opção, o padrão."},
    {"list-branches", nullptr,
     "Só escreve os códigos das filiais que a pesquisa de filial da tela oferece, um por linha (para um laço "
     "em um script), e termina."},
    {"out", "arquivo", "Arquivo a gravar: .pdf, .xlsx, .csv ou .html. Um arquivo existente só é trocado pelo novo completo."},
    {"csv-filters", nullptr,
     "Só com --out .csv: o título, os filtros e a data de emissão nas primeiras linhas (sem a opção, o CSV traz só "
     "os títulos das colunas e as linhas)."},
};

// A usage error (exit 2) or a refusal of the screen or the database (exit 1).
struct Failure
{
    Exit exit;
    QStringList messages;
};

[[noreturn]] void usage(const QString &text)
{
    throw Failure{Usage, {text}};
}

[[noreturn]] void refused(const QStringList &messages)
{
    throw Failure{Refused, messages};
}

struct Request
{
    bool listBranches = false;
    QString configPath;
    QString report;
    QDate from;
    QDate to;
    enum class Branch { Default, One, List, All } branch = Branch::Default;
    QStringList branches;
    std::optional<QStringList> stores;
    std::optional<QStringList> registers;
    QString hourStart; // HHMM as typed in the hour fields
    QString hourEnd;
    QString interval;
    QString productFrom;
    QString productTo;
    bool noFees = false;
    QString out;
    bool csvFilters = false;
};

QDate commandLineDate(const QString &option, const QString &text)
{
    const QDate date = QDate::fromString(text, u"dd/MM/yyyy"_s);
    if (!date.isValid())
        usage(u"data inválida em --%1: \"%2\" (use dd/mm/aaaa)"_s.arg(option, text));
    return date;
}

QStringList codeList(const QString &text)
{
    QStringList codes;
    const QStringList parts = text.split(u',');
    for (const QString &part : parts) {
        if (const QString code = part.trimmed(); !code.isEmpty())
            codes << code;
    }
    return codes;
}

// "08:00" or "0800" as the four digits an hour field takes; the screen judges the value.
QString hourDigits(const QString &text)
{
    static const QRegularExpression shape(u"^(\\d{1,2}):?(\\d{2})$"_s);
    const QRegularExpressionMatch m = shape.match(text.trimmed());
    if (!m.hasMatch())
        return {};
    return m.captured(1).rightJustified(2, u'0') + m.captured(2);
}

// Only the letters and digits of a product code: the field's mask supplies the dots.
QString productDigits(const QString &text)
{
    QString digits;
    for (QChar c : text) {
        if (c.isLetterOrNumber())
            digits += c;
    }
    return digits;
}

QString unknownOptionText(const QCommandLineParser &parser, const QStringList &arguments)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return u"opção desconhecida: \"%1\""_s.arg(unknown.first().size() == 1 ? u"-"_s + unknown.first()
                                                                             : u"--"_s + unknown.first());
    // The one other error QCommandLineParser knows: an option with a value at the end of the line.
    if (!arguments.isEmpty() && arguments.last().startsWith(u'-'))
        return u"falta o valor da opção \"%1\""_s.arg(arguments.last());
    return parser.errorText();
}

// Answers nothing when --help was asked.
std::optional<Request> parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    QList<QCommandLineOption> options;
    for (const OptionDef &def : kOptions) {
        QCommandLineOption option(QString::fromLatin1(def.name), QString::fromUtf8(def.help));
        if (def.valueName)
            option.setValueName(QString::fromUtf8(def.valueName));
        options << option;
    }
    const QCommandLineOption help(QStringList{u"h"_s, u"help"_s});
    options << help;
    parser.addOptions(options);
    if (!parser.parse(QStringList{u"backoffice export"_s} + arguments))
        usage(unknownOptionText(parser, arguments));
    if (parser.isSet(help))
        return std::nullopt;
    if (const QStringList extra = parser.positionalArguments(); !extra.isEmpty())
        usage(u"argumento inesperado: \"%1\""_s.arg(extra.first()));

    auto value = [&](const char *name) { return parser.value(QString::fromLatin1(name)); };
    auto isSet = [&](const char *name) { return parser.isSet(QString::fromLatin1(name)); };

    Request r;
    r.configPath = isSet("config") ? value("config") : HostConfig::defaultPath();
    if (isSet("list-branches")) {
        for (const QString &name : parser.optionNames()) {
            if (name != u"list-branches" && name != u"config")
                usage(u"--list-branches só aceita --config"_s);
        }
        r.listBranches = true;
        return r;
    }
    if (!isSet("report") || value("report").trimmed().isEmpty())
        usage(u"informe o relatório (--report)"_s);
    r.report = value("report").trimmed();

    if (!isSet("out") || value("out").isEmpty())
        usage(u"informe o arquivo a gravar (--out)"_s);
    if (!ReportExport::formatOf(value("out")))
        usage(u"formato de arquivo não suportado: \"%1\" (use .pdf, .xlsx, .csv ou .html)"_s.arg(value("out")));
    r.out = QFileInfo(value("out")).absoluteFilePath();
    r.csvFilters = isSet("csv-filters");
    if (r.csvFilters && ReportExport::formatOf(r.out) != ReportExport::Format::Csv)
        usage(u"--csv-filters só vale para um arquivo .csv"_s);

    if (isSet("period")) {
        if (isSet("from") || isSet("to"))
            usage(u"use --period ou --from/--to, não os dois"_s);
        const auto dates = periodDates(value("period"), QDate::currentDate());
        if (!dates)
            usage(u"período desconhecido: \"%1\" (use yesterday, last-week, last-month ou month-to-date)"_s.arg(
                value("period")));
        r.from = dates->first;
        r.to = dates->second;
    } else {
        if (!isSet("from") || !isSet("to"))
            usage(u"informe o período: --from e --to, ou --period"_s);
        r.from = commandLineDate(u"from"_s, value("from"));
        r.to = commandLineDate(u"to"_s, value("to"));
    }

    if (int(isSet("branch")) + int(isSet("branches")) + int(isSet("all-branches")) > 1)
        usage(u"use só uma de --branch, --branches e --all-branches"_s);
    if (isSet("branch")) {
        r.branch = Request::Branch::One;
        r.branches = QStringList{value("branch").trimmed()};
    } else if (isSet("branches")) {
        r.branch = Request::Branch::List;
        r.branches = codeList(value("branches"));
    } else if (isSet("all-branches")) {
        r.branch = Request::Branch::All;
    }
    if (isSet("stores"))
        r.stores = codeList(value("stores"));
    if (isSet("registers"))
        r.registers = codeList(value("registers"));

    if (isSet("hours")) {
        const QStringList ends = value("hours").split(u'-');
        if (ends.size() != 2 || hourDigits(ends.at(0)).isEmpty() || hourDigits(ends.at(1)).isEmpty())
            usage(u"horário inválido: \"%1\" (use HH:MM-HH:MM)"_s.arg(value("hours")));
        r.hourStart = hourDigits(ends.at(0));
        r.hourEnd = hourDigits(ends.at(1));
    }
    if (isSet("interval")) {
        r.interval = hourDigits(value("interval"));
        if (r.interval.isEmpty())
            usage(u"intervalo inválido: \"%1\" (use HH:MM)"_s.arg(value("interval")));
    }
    if (isSet("products")) {
        const QStringList ends = value("products").split(u':');
        if (ends.size() != 2 || productDigits(ends.at(0)).isEmpty() || productDigits(ends.at(1)).isEmpty())
            usage(u"faixa de produtos inválida: \"%1\" (use de:até)"_s.arg(value("products")));
        r.productFrom = productDigits(ends.at(0));
        r.productTo = productDigits(ends.at(1));
    }
    r.noFees = isSet("no-fees");
    return r;
}

// The real screen driven step by step through ScriptRunner; what it said is kept in order.
class ScreenDriver
{
public:
    ScreenDriver(HostSession &session, RecordingUi &ui)
        : mRunner(session, ui, [this](const QJsonObject &line) { mLines << line; })
    {
    }

    int step(const QJsonObject &object)
    {
        const int index = mNext++;
        mRunner.runStep(index, object);
        return index;
    }
    int click(const QString &control) { return step({{u"click"_s, control}}); }
    int type(const QString &control, const QString &text)
    {
        return step({{u"type"_s, QJsonArray{control, text}}});
    }
    void answerPicker(const QStringList &keys)
    {
        step({{u"answer"_s, QJsonObject{{u"picker"_s, QJsonArray::fromStringList(keys)}}}});
    }

    QWidget *control(const QString &name) const { return mRunner.control(name); }
    TfrmDadosGerRel *screen() const { return qobject_cast<TfrmDadosGerRel *>(mRunner.activeScreen()); }

    // Messages and errors the user would have seen, each once, in order.
    QStringList said() const
    {
        QStringList texts;
        for (const QJsonObject &line : mLines) {
            for (const QString &kind : {u"message"_s, u"error"_s}) {
                if (const QString text = line.value(kind).toString(); line.contains(kind) && !texts.contains(text))
                    texts << text;
            }
        }
        return texts;
    }

    // The keys the picker opened in `step` offered; nothing when no picker opened.
    std::optional<QStringList> offered(int step) const
    {
        for (const QJsonObject &line : mLines) {
            if (line.value(u"step"_s).toInt() != step || !line.contains(u"picker"_s))
                continue;
            QStringList keys;
            const QJsonArray array = line.value(u"picker"_s).toObject().value(u"keys"_s).toArray();
            for (const QJsonValue &key : array)
                keys << key.toString();
            return keys;
        }
        return std::nullopt;
    }

private:
    QList<QJsonObject> mLines;
    ScriptRunner mRunner;
    int mNext = 0;
};

// Codes as the lists hold them: zero-padded on the left to the column's width. A longer code is
// kept whole, so it is reported as missing rather than cut to another code.
QStringList padded(const QStringList &codes, int width)
{
    QStringList keys;
    for (const QString &code : codes)
        keys << (code.size() < width ? Ajusta(code, width) : code);
    return keys;
}

struct ListFilter
{
    const char *option;
    const char *radio;  // the "Lista" radio
    const char *button; // opens the picker
    int width;
    const char *missing; // %1: the code the picker did not offer
};

const ListFilter kBranchList{"branches", "rbtListaFil", "btnListaFil", 4, "Filial '%1' não está cadastrada."};
const ListFilter kOneBranch{"branch", "rbtListaFil", "btnListaFil", 4, "Filial '%1' não está cadastrada."};
const ListFilter kStoreList{"stores", "rbtListaLoja", "btnLoja", 10,
                            "Loja '%1' não está entre as lojas oferecidas para a filial informada."};
const ListFilter kRegisterList{"registers", "rbtListaCaixa", "btnCaixa", 3,
                               "Caixa '%1' não está entre os caixas oferecidos para a filial e as lojas informadas."};

// The branch codes of the screen's branch search, for a script that loops over the branches of a
// report that takes one at a time. Branch-bound, the search is closed: the one branch is the list.
QStringList listBranches(ScreenDriver &d)
{
    d.step({{u"open"_s, kScreen}});
    if (!d.screen())
        refused(d.said().isEmpty() ? QStringList{u"A tela %1 não foi aberta."_s.arg(kScreen)} : d.said());
    if (!d.control(u"btnPesqFilial"_s)->isEnabled())
        return {qobject_cast<QLineEdit *>(d.control(u"edtFilial"_s))->text()};
    const std::optional<QStringList> offered = d.offered(d.click(u"btnPesqFilial"_s));
    if (!offered)
        refused(d.said().isEmpty() ? QStringList{u"A pesquisa de filial não foi aberta."_s} : d.said());
    return *offered;
}

class Export
{
public:
    Export(const Request &request, ScreenDriver &driver) : r(request), d(driver) {}

    void run()
    {
        d.step({{u"open"_s, kScreen}});
        TfrmDadosGerRel *screen = d.screen();
        if (!screen)
            refused(orSaid(u"A tela %1 não foi aberta."_s.arg(kScreen)));
        const int index = reportIndex(screen);
        mTitle = screen->cbbReportNames->itemText(index);
        requireTaken(screen->catalog().pathOf(index));
        d.step({{u"select"_s, index}});

        setBranch();
        if (r.stores)
            pickList(kStoreList, *r.stores);
        if (r.registers)
            pickList(kRegisterList, *r.registers);
        d.type(u"depDtHrIni"_s, r.from.toString(u"ddMMyyyy"_s));
        d.type(u"depDtHrFin"_s, r.to.toString(u"ddMMyyyy"_s));
        if (!r.hourStart.isEmpty()) {
            requireOpen(u"medHoraIni"_s, "hours");
            typeInto(u"medHoraIni"_s, r.hourStart, "hours");
            typeInto(u"medHoraFin"_s, r.hourEnd, "hours");
        }
        if (!r.interval.isEmpty()) {
            requireOpen(u"medHoras"_s, "interval");
            typeInto(u"medHoras"_s, r.interval, "interval");
        }
        if (!r.productFrom.isEmpty()) {
            requireOpen(u"medDe"_s, "products");
            typeInto(u"medDe"_s, r.productFrom, "products");
            typeInto(u"medAte"_s, r.productTo, "products");
        }
        if (r.noFees) {
            requireOpen(u"chbConsideraServico"_s, "no-fees");
            if (qobject_cast<QAbstractButton *>(d.control(u"chbConsideraServico"_s))->isChecked())
                d.click(u"chbConsideraServico"_s);
        }
        save();
    }

private:
    QStringList orSaid(const QString &fallback) const
    {
        const QStringList said = d.said();
        return said.isEmpty() ? QStringList{fallback} : said;
    }

    int reportIndex(const TfrmDadosGerRel *screen) const
    {
        const QComboBox *list = screen->cbbReportNames;
        bool isNumber = false;
        const int position = r.report.toInt(&isNumber);
        if (isNumber && position >= 1 && position <= list->count())
            return position - 1;
        if (!isNumber) {
            if (const int exact = list->findText(r.report, Qt::MatchExactly); exact >= 0)
                return exact;
            for (int i = 0; i < list->count(); ++i) {
                if (list->itemText(i).compare(r.report, Qt::CaseInsensitive) == 0)
                    return i;
            }
        }
        QStringList known;
        for (int i = 0; i < list->count(); ++i)
            known << u"  %1  %2"_s.arg(i + 1, 2).arg(list->itemText(i));
        usage(u"relatório desconhecido: \"%1\". Relatórios da tela:\n%2"_s.arg(r.report, known.join(u'\n')));
    }

    // Types `text` as keys. The field's key handling and mask drop what they do not take (a
    // lower-case letter in a branch code, an eighth digit in a product code): a person sees that on
    // the screen, a command line would not, so a field left holding anything else is a usage error.
    void typeInto(const QString &control, const QString &text, const char *option, const QString &before = {})
    {
        d.type(control, before + text);
        QWidget *field = d.control(control);
        QString held;
        if (auto *mask = qobject_cast<TMaskEdit *>(field))
            held = mask->Text();
        else if (auto *edit = qobject_cast<QLineEdit *>(field))
            held = edit->text();
        if (held != text)
            usage(u"o valor \"%1\" de --%2 não cabe no campo da tela (ficou \"%3\")"_s.arg(text, QLatin1String(option), held));
    }

    // An option whose control the chosen report keeps closed is a usage error: a click there would
    // do nothing, and the file would silently ignore the option.
    void requireOpen(const QString &control, const char *option) const
    {
        if (!d.control(control)->isEnabled())
            usage(u"a opção --%1 não se aplica ao relatório \"%2\" nesta configuração"_s.arg(QLatin1String(option), mTitle));
    }

    // A filter is taken through the parameters the report declares: an option whose parameters
    // the chosen report declares none of would be ignored, and the file would look filtered.
    void requireTaken(const QString &definitionPath) const
    {
        ReportDefinition definition;
        try {
            definition = ReportDefinition::load(definitionPath);
        } catch (const EHostError &e) {
            refused({e.message()});
        }
        const TParams declared = definition.makeParams();
        const auto declares = [&declared](std::initializer_list<const char *> names) {
            return std::any_of(names.begin(), names.end(),
                               [&declared](const char *name) { return declared.FindParam(QLatin1String(name)); });
        };
        static const char *const kBranchOption[] = {nullptr, "branch", "branches", "all-branches"};
        const struct
        {
            const char *option; // nullptr: not given
            std::initializer_list<const char *> params;
        } filters[] = {
            {kBranchOption[int(r.branch)], {"P_CDFILIAL", "P_TCDFILIAL"}},
            {r.stores ? "stores" : nullptr, {"P_CDLOJA", "P_TCDLOJA"}},
            {r.registers ? "registers" : nullptr, {"P_CDCAIXA", "P_TCDCAIXA"}},
            {r.hourStart.isEmpty() ? nullptr : "hours", {"P_HRINI", "P_HRFIN", "P_HRINI1", "P_HRFIN1"}},
            {r.interval.isEmpty() ? nullptr : "interval", {"MINUTOS", "MINUTOS1"}},
            {r.productFrom.isEmpty() ? nullptr : "products", {"P_PRODINI", "P_PRODFIN"}},
            {r.noFees ? "no-fees" : nullptr, {"P_IDCONSTXSERV"}},
        };
        for (const auto &filter : filters) {
            if (filter.option && !declares(filter.params))
                usage(u"a opção --%1 não se aplica ao relatório \"%2\": ele não recebe esse filtro"_s.arg(
                    QLatin1String(filter.option), mTitle));
        }
    }

    void setBranch()
    {
        auto *pages = qobject_cast<TNotebook *>(d.control(u"nbkFilial"_s));
        const bool takesList = pages && pages->PageIndex() == 1;
        switch (r.branch) {
        case Request::Branch::Default:
            return;
        case Request::Branch::All:
            if (!takesList)
                usage(u"o relatório \"%1\" recebe uma só filial: use --branch"_s.arg(mTitle));
            requireOpen(u"rbtTodosFil"_s, "all-branches");
            d.click(u"rbtTodosFil"_s);
            return;
        case Request::Branch::List:
            if (!takesList)
                usage(u"o relatório \"%1\" recebe uma só filial: use --branch"_s.arg(mTitle));
            pickList(kBranchList, r.branches);
            return;
        case Request::Branch::One:
            if (takesList) { // a list of one branch
                pickList(kOneBranch, r.branches.first().isEmpty() ? QStringList{} : r.branches);
                return;
            }
            requireOpen(u"edtFilial"_s, "branch");
            // Backspaces first: the field holds the configured branch, and whether the focus
            // arrives with the text selected depends on where it came from.
            typeInto(u"edtFilial"_s, r.branches.first(), "branch", QString(5, u'\b'));
            return;
        }
    }

    // The "Lista" radio, then the picker answered with the codes; codes the picker does not offer
    // stop the export (picking the others alone would write a report of fewer rows than asked).
    void pickList(const ListFilter &filter, const QStringList &codes)
    {
        const QString radio = QString::fromLatin1(filter.radio);
        requireOpen(radio, filter.option);
        d.click(radio);
        if (codes.isEmpty())
            return; // an empty list: the screen's own check refuses it
        const QStringList keys = padded(codes, filter.width);
        d.answerPicker(keys);
        const int step = d.click(QString::fromLatin1(filter.button));
        const std::optional<QStringList> offered = d.offered(step);
        if (!offered)
            refused(orSaid(u"A lista de --%1 não foi aberta."_s.arg(QLatin1String(filter.option))));
        QStringList missing;
        for (const QString &key : keys) {
            if (!offered->contains(key))
                missing << QString::fromUtf8(filter.missing).arg(key);
        }
        if (!missing.isEmpty())
            refused(d.said() + missing);
    }

    void save()
    {
        if (!d.control(u"sbtSalvarComo"_s)->isEnabled())
            refused(orSaid(u"O relatório \"%1\" não pode ser salvo nesta configuração."_s.arg(mTitle)));
        std::optional<ReportRun> finished;
        const QMetaObject::Connection connection =
            QObject::connect(&ReportEngine::instance(), &ReportEngine::finished,
                             [&finished](const ReportRun &run) { finished = run; });
        // The save dialog's check box: left unchecked unless asked, as a person would leave it.
        d.step({{u"answer"_s, QJsonObject{{u"file"_s, r.out}, {u"check"_s, r.csvFilters}}}});
        try {
            d.click(u"sbtSalvarComo"_s);
        } catch (...) {
            QObject::disconnect(connection);
            throw;
        }
        QObject::disconnect(connection);
        if (finished && finished->outcome == ReportRun::Outcome::Saved)
            return;
        // No run: the gate stopped the action before the report engine; its message was shown.
        refused(orSaid(finished && !finished->error.isEmpty() ? finished->error
                                                              : u"O relatório \"%1\" não foi gravado."_s.arg(mTitle)));
    }

    const Request &r;
    ScreenDriver &d;
    QString mTitle;
};

void print(FILE *stream, const QStringList &messages)
{
    for (const QString &text : messages)
        std::fprintf(stream, "backoffice: %s\n", terminalText(text).toUtf8().constData());
    std::fflush(stream);
}

int report(FILE *stream, const Failure &failure)
{
    print(stream, failure.messages);
    if (failure.exit == Usage)
        print(stream, {u"veja 'backoffice export --help'"_s});
    return failure.exit;
}

void processEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

std::optional<std::pair<QDate, QDate>> periodDates(const QString &name, const QDate &today)
{
    const QDate firstOfMonth(today.year(), today.month(), 1);
    if (name == u"yesterday")
        return std::pair{today.addDays(-1), today.addDays(-1)};
    if (name == u"last-week") {
        const QDate monday = today.addDays(1 - today.dayOfWeek());
        return std::pair{monday.addDays(-7), monday.addDays(-1)};
    }
    if (name == u"last-month")
        return std::pair{firstOfMonth.addMonths(-1), firstOfMonth.addDays(-1)};
    if (name == u"month-to-date")
        return std::pair{firstOfMonth, today};
    return std::nullopt;
}

QString helpText()
{
    QString text = u"Uso: backoffice export --report RELATÓRIO (--from DATA --to DATA | --period PERÍODO)\n"
                   "                         [filtros] [--config ARQUIVO] --out ARQUIVO\n\n"
                   "Executa um relatório da tela \"Vendas por Dia/Hora\" sem mostrar janela e grava o arquivo.\n"
                   "Os filtros passam pelos mesmos controles e validações da tela; a filial, as lojas, os caixas,\n"
                   "o intervalo, os produtos e as taxas só valem para os relatórios em que a tela os oferece.\n\n"
                   "Opções:\n"_s;
    for (const OptionDef &def : kOptions) {
        QString name = u"--"_s + QLatin1String(def.name);
        if (def.valueName)
            name += u" <"_s + QString::fromUtf8(def.valueName) + u'>';
        text += u"  %1\n      %2\n"_s.arg(name, QString::fromUtf8(def.help));
    }
    text += u"  -h, --help\n      Mostra esta ajuda.\n\n"
            "Saída: 0 arquivo gravado; 1 a tela ou o banco de dados recusou (a mensagem sai na saída de erro);\n"
            "2 erro de uso (opção ou relatório desconhecido, data inválida). Em caso de falha nada é gravado.\n"_s;
    return text;
}

void quietQtNotices()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "backoffice: %s\n", terminalText(text).toUtf8().constData());
    });
}

int run(const QStringList &arguments, FILE *out, FILE *err)
{
    std::optional<Request> request;
    try {
        request = parse(arguments);
    } catch (const Failure &failure) {
        return report(err, failure);
    }
    if (!request) {
        std::fputs(helpText().toUtf8().constData(), out);
        return Written;
    }

    HostConfig config;
    try {
        config = HostConfig::load(request->configPath);
    } catch (const EHostError &e) {
        print(err, {e.message()});
        return Usage;
    }

    RecordingUi ui;
    ScopedUi scope(ui);
    int status = Written;
    {
        HostSession session;
        try {
            session.start(config);
            session.showMainWindow();
            processEvents();
            ScreenDriver driver(session, ui);
            if (request->listBranches) {
                for (const QString &code : listBranches(driver))
                    std::fprintf(out, "%s\n", code.toUtf8().constData());
                std::fflush(out);
            } else {
                Export(*request, driver).run();
                print(err, driver.said()); // what the screen said on the way of a run that still wrote its file
            }
        } catch (const Failure &failure) {
            status = report(err, failure);
        } catch (const std::exception &e) {
            print(err, ui.messages + ui.errors + QStringList{describeException(e)});
            status = Refused;
        }
    }
    processEvents();
    return status;
}

} // namespace ExportCommand
