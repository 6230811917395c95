#include "reportdesignerwindow.h"

#include "errors.h"
#include "eventboundary.h"
#include "messages.h"
#include "reportengine.h"
#include "reportexport.h"
#include "tfrmdadosgerrel.h"
#include "uiservices.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr SqlDialect kDialects[] = {SqlDialect::Default, SqlDialect::Oracle, SqlDialect::MSSQL, SqlDialect::InterBase,
                                    SqlDialect::PostgreSQL};

QString typeText(ReportParamDecl::Type type)
{
    switch (type) {
    case ReportParamDecl::Type::DateTime:
        return u"datetime"_s;
    case ReportParamDecl::Type::Integer:
        return u"integer"_s;
    case ReportParamDecl::Type::Text:
        break;
    }
    return u"string"_s;
}

QFont monospace()
{
    QFont font(u"DejaVu Sans Mono"_s);
    font.setStyleHint(QFont::Monospace);
    return font;
}

} // namespace

void appendToCatalog(const QString &folder, const QString &title, const QString &file)
{
    const QString path = QDir(folder).filePath(u"index.json"_s);
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        throw EHostError(u"Não foi possível ler o catálogo '%1': %2"_s.arg(QDir::toNativeSeparators(path), in.errorString()));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(in.readAll(), &error);
    in.close();
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        throw EHostError(u"O catálogo '%1' não é válido."_s.arg(QDir::toNativeSeparators(path)));
    QJsonObject index = doc.object();
    QJsonArray reports = index.value(u"reports").toArray();
    reports.append(QJsonObject{{u"title"_s, title}, {u"file"_s, file}});
    index.insert(u"reports"_s, reports);
    ReportExport::replaceFile(path, QJsonDocument(index).toJson(QJsonDocument::Indented));
}

void saveDefinition(const ReportDefinition &definition, const QString &path)
{
    ReportExport::replaceFile(path, QJsonDocument(definition.toJson()).toJson(QJsonDocument::Indented));
}

QString newDefinitionFileName(const QString &folder, const QString &title)
{
    QString base;
    const QString plain = title.normalized(QString::NormalizationForm_D).toLower();
    for (QChar c : plain) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue; // accents
        if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
            base += c;
        else if (!base.isEmpty() && !base.endsWith(u'_'))
            base += u'_';
    }
    while (base.endsWith(u'_'))
        base.chop(1);
    if (base.isEmpty())
        base = u"relatorio"_s;
    QString name = base + u".json"_s;
    for (int n = 2; QFileInfo::exists(QDir(folder).filePath(name)); ++n)
        name = u"%1_%2.json"_s.arg(base).arg(n);
    return name;
}

ReportDesignerWindow::ReportDesignerWindow(TfrmDadosGerRel *screen, const ReportDefinition &definition,
                                           const QString &path, QWidget *parent)
    : QWidget(parent ? parent : static_cast<QWidget *>(screen), Qt::Window), mScreen(screen), mPath(path)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(u"ReportDesignerWindow"_s);
    build();
    load(definition);
}

ReportDesignerWindow::~ReportDesignerWindow()
{
    // The editors go before the table: what they signal while they are destroyed reaches no one.
    layoutEdit->disconnect(this);
    columnsTable->disconnect(this);
}

void ReportDesignerWindow::build()
{
    resize(860, 680);
    auto *main = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    titleEdit = new QLineEdit(this);
    titleEdit->setObjectName(u"edtTitulo"_s);
    form->addRow(u"Título"_s, titleEdit);
    main->addLayout(form);

    auto *tabs = new QTabWidget(this);
    sqlTabs = new QTabWidget(this);
    const QString dialectNames[] = {u"Padrão"_s, u"Oracle"_s, u"SQL Server"_s, u"InterBase"_s, u"PostgreSQL"_s};
    for (int i = 0; i < int(sqlEdits.size()); ++i) {
        sqlEdits[i] = new QPlainTextEdit(this);
        sqlEdits[i]->setFont(monospace());
        sqlEdits[i]->setLineWrapMode(QPlainTextEdit::NoWrap);
        sqlTabs->addTab(sqlEdits[i], dialectNames[i]);
    }
    tabs->addTab(sqlTabs, u"SQL"_s);

    auto *paramsPage = new QWidget(this);
    auto *paramsLayout = new QVBoxLayout(paramsPage);
    paramsTable = new QTableWidget(0, 2, paramsPage);
    paramsTable->setHorizontalHeaderLabels({u"Nome"_s, u"Tipo"_s});
    paramsTable->horizontalHeader()->setStretchLastSection(true);
    paramsLayout->addWidget(paramsTable);
    auto *paramButtons = new QHBoxLayout;
    auto *add = new QPushButton(u"Incluir"_s, paramsPage);
    auto *remove = new QPushButton(u"Excluir"_s, paramsPage);
    paramButtons->addWidget(add);
    paramButtons->addWidget(remove);
    paramButtons->addStretch();
    paramsLayout->addLayout(paramButtons);
    connect(add, &QPushButton::clicked, this, [this] {
        const int row = paramsTable->rowCount();
        paramsTable->insertRow(row);
        paramsTable->setItem(row, 0, new QTableWidgetItem(u"P_"_s));
        auto *type = new QComboBox(paramsTable);
        type->addItems({u"string"_s, u"datetime"_s, u"integer"_s});
        paramsTable->setCellWidget(row, 1, type);
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (paramsTable->currentRow() >= 0)
            paramsTable->removeRow(paramsTable->currentRow());
    });
    tabs->addTab(paramsPage, u"Parâmetros"_s);

    columnsTable = new QTableWidget(0, 4, this);
    columnsTable->setObjectName(u"tblColunas"_s);
    columnsTable->setHorizontalHeaderLabels({u"Campo"_s, u"Título"_s, u"Tipo"_s, u"Total"_s});
    columnsTable->horizontalHeader()->setStretchLastSection(true);
    columnsTable->setColumnWidth(1, 260);
    columnsTable->setColumnWidth(2, 170);
    tabs->addTab(columnsTable, u"Colunas"_s);
    connect(columnsTable, &QTableWidget::itemChanged, this, [this] { writeColumns(); });

    layoutEdit = new QPlainTextEdit(this);
    layoutEdit->setFont(monospace());
    layoutEdit->setToolTip(u"Colunas, agrupamento, totais e gráfico (veja docs/reports.md)."_s);
    tabs->addTab(layoutEdit, u"Layout (JSON)"_s);
    connect(layoutEdit, &QPlainTextEdit::textChanged, this, [this] { showColumns(); });
    main->addWidget(tabs, 1);

    auto *buttons = new QHBoxLayout;
    auto *previewButton = new QPushButton(u"Visualizar"_s, this);
    auto *saveButton = new QPushButton(u"Salvar"_s, this);
    auto *saveNewButton = new QPushButton(u"Salvar como novo"_s, this);
    auto *closeButton = new QPushButton(u"Fechar"_s, this);
    buttons->addWidget(previewButton);
    buttons->addStretch();
    buttons->addWidget(saveButton);
    buttons->addWidget(saveNewButton);
    buttons->addWidget(closeButton);
    main->addLayout(buttons);
    connectHandler(previewButton, &QPushButton::clicked, this, &ReportDesignerWindow::preview);
    connectHandler(saveButton, &QPushButton::clicked, this, [this] { save(); });
    connectHandler(saveNewButton, &QPushButton::clicked, this, [this] { saveAsNew(); });
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
}

namespace {
// The layout's column types with the names the designer shows.
const std::pair<const char *, const char *> kColumnTypes[] = {
    {"text", "Texto"},       {"integer", "Inteiro"},  {"number", "Número"},
    {"money", "Moeda (R$)"}, {"percent", "Percentual"}, {"date", "Data"},
    {"hour", "Hora"},        {"interval", "Intervalo de horário"}, {"minutes", "Minutos"},
};

QString totalName(const QJsonValue &total)
{
    if (total.isObject() && total.toObject().contains(u"ratio"_s))
        return u"Razão entre totais"_s;
    return total.toBool() ? u"Soma"_s : QString();
}
} // namespace

QString ReportDesignerWindow::typeName(const QString &key)
{
    for (const auto &[k, name] : kColumnTypes) {
        if (key == QLatin1String(k))
            return QString::fromUtf8(name);
    }
    return key.isEmpty() ? QString::fromUtf8(kColumnTypes[0].second) : key;
}

QString ReportDesignerWindow::typeKey(const QString &name)
{
    for (const auto &[k, shown] : kColumnTypes) {
        if (name == QString::fromUtf8(shown))
            return QLatin1String(k);
    }
    return name;
}

void ReportDesignerWindow::showColumns()
{
    if (mSyncing)
        return;
    const QJsonDocument doc = QJsonDocument::fromJson(layoutEdit->toPlainText().toUtf8());
    if (!doc.isObject())
        return; // half-typed JSON: the table keeps what it showed
    const QScopedValueRollback<bool> syncing(mSyncing, true);
    const QJsonArray columns = doc.object().value(u"columns"_s).toArray();
    columnsTable->setRowCount(int(columns.size()));
    for (int row = 0; row < int(columns.size()); ++row) {
        const QJsonObject column = columns.at(row).toObject();
        auto *field = new QTableWidgetItem(column.value(u"field"_s).toString());
        field->setFlags(field->flags() & ~Qt::ItemIsEditable);
        columnsTable->setItem(row, 0, field);
        columnsTable->setItem(row, 1, new QTableWidgetItem(column.value(u"label"_s).toString()));
        auto *type = new QComboBox(columnsTable);
        for (const auto &[k, name] : kColumnTypes)
            type->addItem(QString::fromUtf8(name));
        const QString shown = typeName(column.value(u"type"_s).toString());
        if (type->findText(shown) < 0)
            type->addItem(shown); // a type this list does not name stays as written
        type->setCurrentText(shown);
        connect(type, &QComboBox::currentIndexChanged, this, [this] { writeColumns(); });
        columnsTable->setCellWidget(row, 2, type);
        auto *total = new QTableWidgetItem(totalName(column.value(u"total"_s)));
        total->setFlags(total->flags() & ~Qt::ItemIsEditable);
        columnsTable->setItem(row, 3, total);
    }
}

void ReportDesignerWindow::writeColumns()
{
    if (mSyncing)
        return;
    QJsonDocument doc = QJsonDocument::fromJson(layoutEdit->toPlainText().toUtf8());
    if (!doc.isObject())
        return;
    QJsonObject layout = doc.object();
    QJsonArray columns = layout.value(u"columns"_s).toArray();
    for (int row = 0; row < columnsTable->rowCount() && row < int(columns.size()); ++row) {
        QJsonObject column = columns.at(row).toObject();
        if (const QTableWidgetItem *label = columnsTable->item(row, 1))
            column.insert(u"label"_s, label->text());
        // A column without a type is text: it gets one only when the user picks another.
        if (const auto *type = qobject_cast<QComboBox *>(columnsTable->cellWidget(row, 2))) {
            const QString key = typeKey(type->currentText());
            if (column.contains(u"type"_s) || key != u"text")
                column.insert(u"type"_s, key);
        }
        columns.replace(row, column);
    }
    layout.insert(u"columns"_s, columns);
    const QScopedValueRollback<bool> syncing(mSyncing, true);
    layoutEdit->setPlainText(QString::fromUtf8(QJsonDocument(layout).toJson(QJsonDocument::Indented)));
}

void ReportDesignerWindow::load(const ReportDefinition &definition)
{
    setWindowTitle(u"Editar relatório - "_s + definition.title);
    titleEdit->setText(definition.title);
    for (int i = 0; i < int(sqlEdits.size()); ++i)
        sqlEdits[i]->setPlainText(definition.sql.value(kDialects[i]));
    paramsTable->setRowCount(0);
    for (const ReportParamDecl &decl : definition.params) {
        const int row = paramsTable->rowCount();
        paramsTable->insertRow(row);
        paramsTable->setItem(row, 0, new QTableWidgetItem(decl.name));
        auto *type = new QComboBox(paramsTable);
        type->addItems({u"string"_s, u"datetime"_s, u"integer"_s});
        type->setCurrentText(typeText(decl.type));
        paramsTable->setCellWidget(row, 1, type);
    }
    layoutEdit->setPlainText(QString::fromUtf8(QJsonDocument(definition.layout).toJson(QJsonDocument::Indented)));
    showColumns();
}

ReportDefinition ReportDesignerWindow::edited() const
{
    QJsonParseError error;
    const QJsonDocument layout = QJsonDocument::fromJson(layoutEdit->toPlainText().toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !layout.isObject())
        throw EHostError(u"O layout não é um objeto JSON válido: %1 (posição %2)."_s.arg(
            error.error != QJsonParseError::NoError ? error.errorString() : u"objeto esperado"_s)
                             .arg(error.offset));
    QJsonObject object = layout.object();
    object.insert(u"title"_s, titleEdit->text().trimmed());
    QJsonArray params;
    for (int row = 0; row < paramsTable->rowCount(); ++row) {
        const QTableWidgetItem *name = paramsTable->item(row, 0);
        const auto *type = qobject_cast<QComboBox *>(paramsTable->cellWidget(row, 1));
        if (!name || name->text().trimmed().isEmpty())
            throw EHostError(u"O parâmetro da linha %1 não tem nome."_s.arg(row + 1));
        params.append(QJsonObject{{u"name"_s, name->text().trimmed()},
                                  {u"type"_s, type ? type->currentText() : u"string"_s}});
    }
    object.insert(u"params"_s, params);
    const char *keys[] = {"default", "oracle", "mssql", "ib", "postgresql"};
    QJsonObject sql;
    for (int i = 0; i < int(sqlEdits.size()); ++i) {
        const QString text = sqlEdits[i]->toPlainText();
        if (!text.trimmed().isEmpty())
            sql.insert(QLatin1String(keys[i]), text);
    }
    object.insert(u"sql"_s, sql);
    const ReportDefinition definition = ReportDefinition::fromJson(object);
    if (const QString problem = ReportEngine::validate(definition); !problem.isEmpty())
        throw EHostError(problem);
    return definition;
}

bool ReportDesignerWindow::save()
{
    try {
        if (mPath.isEmpty())
            throw EHostError(u"Esta definição não tem arquivo; use \"Salvar como novo\"."_s);
        saveDefinition(edited(), mPath);
        setWindowTitle(u"Editar relatório - "_s + titleEdit->text().trimmed());
        Q_EMIT saved(mPath);
        return true;
    } catch (const EHostError &e) {
        UiServices::current().showError(this, e.message());
        return false;
    }
}

QString ReportDesignerWindow::catalogueText(const char *key, const QString &fallback) const
{
    const QString name = QLatin1String(key);
    if (mScreen && mScreen->msgPadrao && mScreen->msgPadrao->contains(name))
        return mScreen->msgPadrao->Msg(name);
    return fallback;
}

bool ReportDesignerWindow::saveAsNew()
{
    try {
        ReportDefinition definition = edited();
        if (!mScreen)
            throw EHostError(u"A tela do relatório foi fechada."_s);
        const auto answer = UiServices::current().prompt(this, catalogueText("NovoCaption", u"Título do relatório"_s),
                                                         catalogueText("NovoPrompt", u"Informe o título do relatório:"_s),
                                                         definition.title);
        if (!answer || answer->trimmed().isEmpty())
            return false;
        if (!mScreen) // closed while the title was asked
            throw EHostError(u"A tela do relatório foi fechada."_s);
        const QString title = answer->trimmed();
        const ReportCatalog &catalog = mScreen->catalog();
        for (const ReportCatalog::Entry &entry : catalog.entries()) {
            if (entry.title.compare(title, Qt::CaseInsensitive) == 0)
                throw EHostError(u"Já existe um relatório com o título \"%1\"."_s.arg(title));
        }
        definition.title = title;
        const QString folder = catalog.folder();
        const QString file = newDefinitionFileName(folder, title);
        const QString path = QDir(folder).filePath(file);
        saveDefinition(definition, path);
        try {
            appendToCatalog(folder, title, file);
        } catch (const EHostError &) {
            QFile::remove(path); // no definition file that the catalogue does not list
            throw;
        }
        mPath = path;
        titleEdit->setText(title);
        setWindowTitle(u"Editar relatório - "_s + title);
        // The list shows the new report now, and a second "save as new" under the same title is
        // refused by the catalogue just read.
        if (mScreen)
            mScreen->reloadCatalog();
        Q_EMIT saved(path);
        UiServices::current().showInfo(this, u"O relatório \"%1\" foi criado e está na lista de relatórios."_s.arg(title));
        return true;
    } catch (const EHostError &e) {
        UiServices::current().showError(this, e.message());
        return false;
    }
}

void ReportDesignerWindow::preview()
{
    // A check of the screen that aborts has told the user already: the preview ends as an event does.
    EventBoundary::run([this] {
        try {
            const ReportDefinition definition = edited();
            if (!mScreen)
                throw EHostError(u"A tela do relatório foi fechada."_s);
            // The screen's own checks first: they also bring what the parameters read up to date.
            mScreen->checkBeforeReport(ReportAction::Preview);
            if (!mScreen)
                throw EHostError(u"A tela do relatório foi fechada."_s);
            const TParams params = mScreen->requestParams(definition);
            ReportRequest request;
            request.action = ReportAction::Preview;
            request.code = mScreen->reportCode();
            request.definition = definition;
            request.params = params;
            request.filters = mScreen->filterTexts(definition, params);
            request.parent = mScreen;
            ReportEngine::instance().run(request);
        } catch (const EHostError &e) {
            UiServices::current().showError(this, e.message());
        }
    });
}
