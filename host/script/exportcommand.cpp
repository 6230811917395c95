#include "exportcommand.h"

#include "errors.h"
#include "exportscreendriver.h"
#include "hostsession.h"
#include "periodpresets.h"
#include "recordingui.h"
#include "reportengine.h"
#include "reportexport.h"
#include "screensteps.h"
#include "smtpmail.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace ExportCommand {

namespace {

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
     "Em lugar de --from/--to, pelo calendário local: today (hoje), yesterday (ontem), this-week (de segunda até "
     "hoje), last-week (a semana passada, de segunda a domingo), month-to-date (do dia 1 do mês até hoje), "
     "last-month (o mês passado), last-7-days e last-30-days (os últimos 7 ou 30 dias, hoje incluído)."},
    {"branch", "filial", "Código da filial (sem a opção, a filial da configuração)."},
    {"branches", "f1,f2,...", "Lista de filiais (só para o relatório que recebe lista de filiais)."},
    {"all-branches", nullptr, "Todas as filiais (só para o relatório que recebe lista de filiais)."},
    {"stores", "l1,l2,...", "Lista de lojas (sem a opção, todas)."},
    {"registers", "c1,c2,...", "Lista de caixas (sem a opção, todos)."},
    {"hours", "HH:MM-HH:MM", "Horário de venda de cada dia."},
    {"interval", "HH:MM", "Intervalo de horas de cada linha."},
    {"products", "de:até", "Faixa de produtos (códigos da árvore de produtos)."},
    {"no-fees", nullptr, "Não considera as taxas de serviço e de entrega (resumo consolidado)."},
    {"no-summary", nullptr,
     "Lê cada venda, também onde o banco mantém o resumo de vendas por minuto (para conferir um com o outro)."},
    {"config", "arquivo", "Arquivo de configuração (INI); sem a opção, o padrão."},
    {"list-branches", nullptr,
     "Só escreve os códigos das filiais que a pesquisa de filial da tela oferece, um por linha (para um laço "
     "em um script), e termina."},
    {"out", "arquivo", "Arquivo a gravar: .pdf, .xlsx, .csv ou .html. Um arquivo existente só é trocado pelo novo completo."},
    {"csv-filters", nullptr,
     "Só com --out .csv: o título, os filtros e a data de emissão nas primeiras linhas (sem a opção, o CSV traz só "
     "os títulos das colunas e as linhas)."},
    {"mail-to", "endereço",
     "Envia o arquivo gravado por e-mail, anexado, pelo servidor de [mail] da configuração. Repita a opção ou "
     "separe os endereços por vírgula."},
    {"mail-subject", "assunto", "Só com --mail-to: o assunto do e-mail (sem a opção, o título do relatório)."},
    {"hold-incomplete", nullptr,
     "Só com --mail-to: não envia quando alguma loja do filtro não tem vendas nas últimas horas do período em que "
     "costuma vender (as mesmas horas das últimas quatro semanas); sai com 3."},
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
    bool noSummary = false;
    QString out;
    bool csvFilters = false;
    QStringList mailTo;
    QString mailSubject;
    bool holdIncomplete = false;
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
        const auto dates = PeriodPresets::dates(value("period"), QDate::currentDate());
        if (!dates)
            usage(u"período desconhecido: \"%1\" (use %2)"_s.arg(value("period"), PeriodPresets::wordList()));
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
    r.noSummary = isSet("no-summary");

    for (const QString &list : parser.values(u"mail-to"_s)) {
        for (const QString &address : codeList(list)) {
            if (const QString problem = MailMessage::addressProblem(address); !problem.isEmpty())
                usage(u"--mail-to: "_s + problem);
            r.mailTo << address;
        }
    }
    if (isSet("mail-to") && r.mailTo.isEmpty())
        usage(u"--mail-to sem endereço"_s);
    r.mailSubject = value("mail-subject").trimmed();
    r.holdIncomplete = isSet("hold-incomplete");
    if (r.mailTo.isEmpty() && (isSet("mail-subject") || r.holdIncomplete))
        usage(u"--mail-subject e --hold-incomplete só valem com --mail-to"_s);
    return r;
}

QString optionName(ExportOption option)
{
    switch (option) {
    case ExportOption::Branch:
        return u"branch"_s;
    case ExportOption::Branches:
        return u"branches"_s;
    case ExportOption::AllBranches:
        return u"all-branches"_s;
    case ExportOption::Stores:
        return u"stores"_s;
    case ExportOption::Registers:
        return u"registers"_s;
    case ExportOption::Hours:
        return u"hours"_s;
    case ExportOption::Interval:
        return u"interval"_s;
    case ExportOption::Products:
        return u"products"_s;
    case ExportOption::NoFees:
        return u"no-fees"_s;
    }
    return {};
}

// The refusal of a code that the list of `option` did not offer.
QString missingText(ExportOption option, const QString &key)
{
    switch (option) {
    case ExportOption::Stores:
        return u"Loja '%1' não está entre as lojas oferecidas para a filial informada."_s.arg(key);
    case ExportOption::Registers:
        return u"Caixa '%1' não está entre os caixas oferecidos para a filial e as lojas informadas."_s.arg(key);
    default:
        return u"Filial '%1' não está cadastrada."_s.arg(key);
    }
}

// The screen the command runs: its driver, and the steps it works through.
struct Screen
{
    QString code;
    ScreenSteps &steps;
    ExportScreenDriver &driver;

    QStringList orSaid(const QString &fallback) const
    {
        const QStringList said = steps.said();
        return said.isEmpty() ? QStringList{fallback} : said;
    }

    void open() const
    {
        if (!driver.open())
            refused(orSaid(u"A tela %1 não foi aberta."_s.arg(code)));
    }
};

// The branch codes of the screen's branch search, for a script that loops over the branches of a
// report that takes one at a time.
QStringList listBranches(const Screen &s)
{
    s.open();
    const std::optional<QStringList> codes = s.driver.branchCodes();
    if (!codes)
        refused(s.orSaid(u"A pesquisa de filial não foi aberta."_s));
    return *codes;
}

class Export
{
public:
    Export(const Request &request, const Screen &screen) : r(request), s(screen), d(screen.driver) {}

    void run()
    {
        s.open();
        const QStringList titles = d.reportTitles();
        const int index = reportIndex(titles);
        mTitle = titles.at(index);
        requireTaken(index);
        d.selectReport(index);

        setBranch();
        if (r.stores)
            pickList(ExportOption::Stores, *r.stores);
        if (r.registers)
            pickList(ExportOption::Registers, *r.registers);
        d.setPeriod(r.from, r.to);
        if (!r.hourStart.isEmpty()) {
            requireOpen(ExportOption::Hours);
            typeInto(ExportField::HourStart, r.hourStart, ExportOption::Hours);
            typeInto(ExportField::HourEnd, r.hourEnd, ExportOption::Hours);
        }
        if (!r.interval.isEmpty()) {
            requireOpen(ExportOption::Interval);
            typeInto(ExportField::Interval, r.interval, ExportOption::Interval);
        }
        if (!r.productFrom.isEmpty()) {
            requireOpen(ExportOption::Products);
            typeInto(ExportField::ProductFrom, r.productFrom, ExportOption::Products);
            typeInto(ExportField::ProductTo, r.productTo, ExportOption::Products);
        }
        if (r.noFees) {
            requireOpen(ExportOption::NoFees);
            d.leaveOutFees();
        }
        save();
    }

    // The run that wrote the file (its filter lines).
    const ReportRun &written() const { return mRun; }

private:
    int reportIndex(const QStringList &titles) const
    {
        bool isNumber = false;
        const int position = r.report.toInt(&isNumber);
        if (isNumber && position >= 1 && position <= titles.size())
            return position - 1;
        if (!isNumber) {
            if (const qsizetype exact = titles.indexOf(r.report); exact >= 0)
                return int(exact);
            for (int i = 0; i < titles.size(); ++i) {
                if (titles.at(i).compare(r.report, Qt::CaseInsensitive) == 0)
                    return i;
            }
        }
        QStringList known;
        for (int i = 0; i < titles.size(); ++i)
            known << u"  %1  %2"_s.arg(i + 1, 2).arg(titles.at(i));
        usage(u"relatório desconhecido: \"%1\". Relatórios da tela:\n%2"_s.arg(r.report, known.join(u'\n')));
    }

    // The field's key handling and mask drop what they do not take (a lower-case letter in a
    // branch code, an eighth digit in a product code): a person sees that on the screen, a command
    // line would not, so a field left holding anything else is a usage error.
    void typeInto(ExportField field, const QString &text, ExportOption option)
    {
        if (const QString held = d.type(field, text); held != text)
            usage(u"o valor \"%1\" de --%2 não cabe no campo da tela (ficou \"%3\")"_s.arg(text, optionName(option), held));
    }

    // An option whose control the chosen report keeps closed is a usage error: a click there would
    // do nothing, and the file would silently ignore the option.
    void requireOpen(ExportOption option) const
    {
        if (!d.isOpen(option))
            usage(u"a opção --%1 não se aplica ao relatório \"%2\" nesta configuração"_s.arg(optionName(option), mTitle));
    }

    // A filter is taken through the parameters the report declares: an option whose parameters
    // the chosen report declares none of would be ignored, and the file would look filtered.
    void requireTaken(int index) const
    {
        QList<ExportOption> taken;
        try {
            taken = d.takenOptions(index);
        } catch (const EHostError &e) {
            refused({e.message()});
        }
        static const std::optional<ExportOption> kBranchOption[] = {std::nullopt, ExportOption::Branch,
                                                                    ExportOption::Branches, ExportOption::AllBranches};
        const std::optional<ExportOption> given[] = {
            kBranchOption[int(r.branch)],
            r.stores ? std::optional(ExportOption::Stores) : std::nullopt,
            r.registers ? std::optional(ExportOption::Registers) : std::nullopt,
            r.hourStart.isEmpty() ? std::nullopt : std::optional(ExportOption::Hours),
            r.interval.isEmpty() ? std::nullopt : std::optional(ExportOption::Interval),
            r.productFrom.isEmpty() ? std::nullopt : std::optional(ExportOption::Products),
            r.noFees ? std::optional(ExportOption::NoFees) : std::nullopt,
        };
        for (const std::optional<ExportOption> &option : given) {
            if (option && !taken.contains(*option))
                usage(u"a opção --%1 não se aplica ao relatório \"%2\": ele não recebe esse filtro"_s.arg(
                    optionName(*option), mTitle));
        }
    }

    void setBranch()
    {
        const bool takesList = d.takesBranchList();
        switch (r.branch) {
        case Request::Branch::Default:
            return;
        case Request::Branch::All:
            if (!takesList)
                usage(u"o relatório \"%1\" recebe uma só filial: use --branch"_s.arg(mTitle));
            requireOpen(ExportOption::AllBranches);
            d.choose(ExportOption::AllBranches);
            return;
        case Request::Branch::List:
            if (!takesList)
                usage(u"o relatório \"%1\" recebe uma só filial: use --branch"_s.arg(mTitle));
            pickList(ExportOption::Branches, r.branches);
            return;
        case Request::Branch::One:
            if (takesList) { // a list of one branch
                pickList(ExportOption::Branch, r.branches.first().isEmpty() ? QStringList{} : r.branches);
                return;
            }
            requireOpen(ExportOption::Branch);
            typeInto(ExportField::Branch, r.branches.first(), ExportOption::Branch);
            return;
        }
    }

    // The list choice, then the list answered with the codes; codes the list does not offer stop
    // the export (picking the others alone would write a report of fewer rows than asked).
    void pickList(ExportOption option, const QStringList &codes)
    {
        requireOpen(option);
        d.choose(option);
        if (codes.isEmpty())
            return; // an empty list: the screen's own check refuses it
        const QStringList keys = d.listKeys(option, codes);
        const std::optional<QStringList> offered = d.pick(option, keys);
        if (!offered)
            refused(s.orSaid(u"A lista de --%1 não foi aberta."_s.arg(optionName(option))));
        QStringList missing;
        for (const QString &key : keys) {
            if (!offered->contains(key))
                missing << missingText(option, key);
        }
        if (!missing.isEmpty())
            refused(s.steps.said() + missing);
    }

    void save()
    {
        if (!d.canSave())
            refused(s.orSaid(u"O relatório \"%1\" não pode ser salvo nesta configuração."_s.arg(mTitle)));
        std::optional<ReportRun> finished;
        const QMetaObject::Connection connection =
            QObject::connect(&ReportEngine::instance(), &ReportEngine::finished,
                             [&finished](const ReportRun &run) { finished = run; });
        ReportEngine::instance().setUseSummary(!r.noSummary);
        try {
            d.save(r.out, r.csvFilters);
        } catch (...) {
            QObject::disconnect(connection);
            throw;
        }
        QObject::disconnect(connection);
        if (finished && finished->outcome == ReportRun::Outcome::Saved) {
            mRun = *finished;
            return;
        }
        // No run: the gate stopped the action before the report engine; its message was shown.
        refused(s.orSaid(finished && !finished->error.isEmpty() ? finished->error
                                                                : u"O relatório \"%1\" não foi gravado."_s.arg(mTitle)));
    }

    const Request &r;
    const Screen &s;
    ExportScreenDriver &d;
    QString mTitle;
    ReportRun mRun;
};

void print(FILE *stream, const QStringList &messages);

// The report file to the --mail-to addresses: the completeness check first (with
// --hold-incomplete an incomplete period is not sent), then the mail with the filter lines in the
// body and the file attached.
int mailReport(const Request &r, const MailSettings &settings, ExportScreenDriver &driver, const ReportRun &run,
               FILE *err)
{
    QStringList idle;
    try {
        idle = driver.idleStores();
    } catch (const EHostError &e) {
        refused({e.message()});
    }
    if (!idle.isEmpty() && r.holdIncomplete) {
        print(err, idle + QStringList{u"E-mail não enviado (--hold-incomplete): o período parece incompleto."_s});
        return Held;
    }
    if (!settings.configured())
        refused({u"O e-mail não foi enviado: falta o servidor de e-mail ([mail] host) na configuração."_s});
    QFile file(r.out);
    if (!file.open(QIODevice::ReadOnly))
        refused({u"O e-mail não foi enviado: o arquivo '%1' não pôde ser lido (%2)."_s.arg(r.out, file.errorString())});
    MailMessage message;
    message.to = r.mailTo;
    message.subject = r.mailSubject.isEmpty() ? run.title : r.mailSubject;
    QStringList body{run.title, QString()};
    for (const auto &filter : run.filters)
        body << filter.first + u": "_s + filter.second;
    body << u"Emitido em "_s + QDateTime::currentDateTime().toString(u"dd/MM/yyyy HH:mm"_s);
    if (!idle.isEmpty())
        body << QString() << idle;
    body << QString() << u"O relatório está no arquivo anexado, %1."_s.arg(QFileInfo(r.out).fileName());
    message.body = body.join(u'\n') + u'\n';
    message.attachmentName = QFileInfo(r.out).fileName();
    message.attachmentType = MailMessage::contentTypeOf(r.out);
    message.attachment = file.readAll();
    try {
        SmtpMail::send(settings, message);
    } catch (const EHostError &e) {
        refused({e.message()});
    }
    if (!idle.isEmpty())
        print(err, idle); // sent, and the lines the mail names said here too
    return Written;
}

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

int runOn(const HostConfig::Screen &exported, const Request &request, const HostConfig &config, HostSession &session,
          RecordingUi &ui, FILE *out, FILE *err)
{
    ScreenSteps steps(session, ui);
    const std::unique_ptr<ExportScreenDriver> driver = ExportScreenDriver::factory(exported.code)(steps);
    const Screen screen{exported.code, steps, *driver};
    if (request.listBranches) {
        for (const QString &code : listBranches(screen))
            std::fprintf(out, "%s\n", code.toUtf8().constData());
        std::fflush(out);
    } else {
        Export exporting(request, screen);
        exporting.run();
        print(err, steps.said()); // what the screen said on the way of a run that still wrote its file
        if (!request.mailTo.isEmpty())
            return mailReport(request, config.mail, *driver, exporting.written(), err);
    }
    return Written;
}

// The first configured screen whose module exports its reports.
const HostConfig::Screen *exportedScreen(const HostConfig &config)
{
    for (const HostConfig::Screen &screen : config.screens) {
        if (ExportScreenDriver::factory(screen.code))
            return &screen;
    }
    return nullptr;
}

// A configuration with no such screen cannot run the command, as one that cannot be read: what the
// start showed, then why.
int noExport(const HostConfig &config, const RecordingUi &ui, FILE *err)
{
    QStringList codes;
    for (const HostConfig::Screen &screen : config.screens)
        codes << screen.code;
    print(err, ui.messages + ui.errors +
                   QStringList{u"Nenhuma tela da configuração '%1' exporta relatórios (telas configuradas: %2): o "
                               u"módulo de cada uma não oferece a exportação."_s.arg(
                                   config.path, codes.isEmpty() ? u"nenhuma"_s : codes.join(u", "_s))});
    return Usage;
}

void processEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

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
            "2 erro de uso (opção ou relatório desconhecido, data inválida); 3 e-mail retido por --hold-incomplete\n"
            "(o arquivo foi gravado). Em caso de falha nada é gravado; um e-mail não enviado é uma falha (1).\n"_s;
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
            if (const HostConfig::Screen *exported = exportedScreen(config))
                status = runOn(*exported, *request, config, session, ui, out, err);
            else
                status = noExport(config, ui, err);
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
