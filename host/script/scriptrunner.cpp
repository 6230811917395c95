#include "scriptrunner.h"

#include "application.h"
#include "errors.h"
#include "eventboundary.h"
#include "hostsession.h"
#include "mainwindow.h"
#include "package.h"
#include "params.h"
#include "recordingui.h"
#include "reportfile.h"
#include "tfrmdadosgerrel.h"
#include "widgets.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
QJsonValue paramValue(const TParam &p)
{
    switch (p.kind()) {
    case TParam::Kind::Text:
        return p.AsString();
    case TParam::Kind::DateTime:
        return calendarText(p.AsDateTime());
    case TParam::Kind::Integer:
        return double(p.AsInteger());
    case TParam::Kind::Null:
    case TParam::Kind::Unassigned:
        break;
    }
    return QJsonValue::Null;
}

QJsonValue variantToJson(const QVariant &v)
{
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    return v.toString();
}

void processEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

Qt::Key keyFor(QChar c)
{
    if (c == u'\b')
        return Qt::Key_Backspace;
    if (c == u'\r' || c == u'\n')
        return Qt::Key_Return;
    if (c == u'\t')
        return Qt::Key_Tab;
    const QChar upper = c.toUpper();
    if ((upper >= u'A' && upper <= u'Z') || (c >= u'0' && c <= u'9') || c == u' ')
        return Qt::Key(upper.unicode());
    return Qt::Key_unknown;
}
} // namespace

ScriptRunner::ScriptRunner(HostSession &session, RecordingUi &ui, Output output)
    : mSession(session), mUi(ui), mOutput(std::move(output))
{
    mUi.onMessage = [this](const QString &kind, const QString &text) {
        emitLine({{QStringLiteral("step"), mStep}, {kind, text}});
    };
    mUi.onOpened = [this](const RecordingUi::Opened &opened) {
        emitLine({{QStringLiteral("step"), mStep},
                  {QStringLiteral("picker"),
                   QJsonObject{{QStringLiteral("title"), opened.title},
                               {QStringLiteral("keys"), QJsonArray::fromStringList(opened.keys)}}}});
    };
    // What the host said while starting (a database it could not open) was shown before any
    // runner listened: it comes out with the first step instead of being lost.
    for (const QString &text : std::as_const(mUi.messages))
        emitLine({{QStringLiteral("step"), mStep}, {QStringLiteral("message"), text}});
    for (const QString &text : std::as_const(mUi.errors))
        emitLine({{QStringLiteral("step"), mStep}, {QStringLiteral("error"), text}});
}

ScriptRunner::~ScriptRunner()
{
    for (const QMetaObject::Connection &c : std::as_const(mConnections))
        QObject::disconnect(c);
    mUi.onMessage = nullptr;
    mUi.onOpened = nullptr;
}

void ScriptRunner::emitLine(QJsonObject line)
{
    if (mOutput)
        mOutput(line);
}

TForm *ScriptRunner::activeScreen() const
{
    MainWindow *main = mSession.mainWindow();
    if (!main)
        return nullptr;
    QMdiSubWindow *sub = main->mdiArea()->activeSubWindow();
    if (!sub) {
        const auto list = main->mdiArea()->subWindowList(QMdiArea::ActivationHistoryOrder);
        sub = list.isEmpty() ? nullptr : list.last();
    }
    return sub ? qobject_cast<TForm *>(sub->widget()) : nullptr;
}

QWidget *ScriptRunner::control(const QString &name) const
{
    TForm *screen = activeScreen();
    if (!screen)
        throw EHostError(QStringLiteral("Nenhuma tela aberta para o controle '%1'.").arg(name));
    if (screen->objectName() == name)
        return screen;
    auto *widget = screen->findChild<QWidget *>(name);
    if (!widget)
        throw EHostError(QStringLiteral("Controle desconhecido: '%1'.").arg(name));
    return widget;
}

void ScriptRunner::connectScreen(TForm *screen)
{
    auto *reportScreen = qobject_cast<TfrmDadosGerRel *>(screen);
    mConnected.removeAll(nullptr);
    if (!reportScreen || mConnected.contains(screen))
        return;
    mConnected << screen;
    mConnections << QObject::connect(reportScreen, &TfrmDadosGerRel::paramsFilled, reportScreen, [this](const TParams &params) {
        QJsonObject values;
        for (const TParam &p : params)
            values.insert(p.Name(), paramValue(p));
        emitLine({{QStringLiteral("step"), mStep}, {QStringLiteral("params"), values}});
    });
}

void ScriptRunner::moveFocus(QWidget *widget)
{
    if (QWidget *window = widget->window(); !window->isActiveWindow()) {
        window->activateWindow();
        QApplication::setActiveWindow(window);
    }
    // A real focus change (tab reason): the control that had the focus runs its exit handler.
    widget->setFocus(Qt::TabFocusReason);
    processEvents();
}

void ScriptRunner::typeInto(QWidget *widget, const QString &text)
{
    if (QApplication::focusWidget() != widget)
        moveFocus(widget);
    for (QChar c : text) {
        const Qt::Key key = keyFor(c);
        const QString keyText(c);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, keyText);
        QCoreApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, keyText);
        QCoreApplication::sendEvent(widget, &release);
    }
    processEvents();
}

void ScriptRunner::paintReportList()
{
    auto *screen = qobject_cast<TfrmDadosGerRel *>(activeScreen());
    if (!screen)
        throw EHostError(QStringLiteral("Nenhuma tela de relatório aberta."));
    TReportCombo *combo = screen->cbbReportNames;
    QImage canvas(combo->width(), 24, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&canvas);
    for (int row = 0; row < combo->count(); ++row) {
        QStyleOptionViewItem option;
        option.initFrom(combo->view());
        option.rect = QRect(0, 0, combo->width(), 24);
        combo->itemDelegate()->paint(&painter, option, combo->model()->index(row, 0));
    }
    painter.end();
    combo->repaint(); // the closed list's own text, drawn by the same handler
}

QJsonValue ScriptRunner::dumpOf(const QString &name) const
{
    if (HostRuntime::hasVariable(name))
        return variantToJson(HostRuntime::variable(name));
    QWidget *w = control(name);
    QJsonObject o;
    o.insert(QStringLiteral("enabled"), w->isEnabled());
    if (auto *mask = qobject_cast<TMaskEdit *>(w)) {
        o.insert(QStringLiteral("text"), mask->Text());
        o.insert(QStringLiteral("editText"), mask->EditText());
        o.insert(QStringLiteral("focused"), w->hasFocus());
    } else if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        o.insert(QStringLiteral("text"), edit->text());
        o.insert(QStringLiteral("editText"), edit->text());
        o.insert(QStringLiteral("focused"), w->hasFocus());
    } else if (auto *button = qobject_cast<QAbstractButton *>(w); button && button->isCheckable()) {
        o.insert(QStringLiteral("checked"), button->isChecked());
    } else if (auto *book = qobject_cast<TNotebook *>(w)) {
        o.insert(QStringLiteral("page"), book->PageIndex());
    } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
        o.insert(QStringLiteral("index"), combo->currentIndex());
        o.insert(QStringLiteral("text"), combo->currentText());
    } else {
        o.insert(QStringLiteral("visible"), w->isVisible());
        if (auto *form = qobject_cast<TForm *>(w))
            o.insert(QStringLiteral("caption"), form->windowTitle());
    }
    return o;
}

void ScriptRunner::run(const QJsonArray &steps)
{
    for (int i = 0; i < steps.size(); ++i) {
        if (!steps.at(i).isObject())
            throw EHostError(QStringLiteral("Passo %1 não é um objeto.").arg(i));
        runStep(i, steps.at(i).toObject());
    }
}

void ScriptRunner::runStep(int step, const QJsonObject &object)
{
    mStep = step;
    if (object.size() != 1)
        throw EHostError(QStringLiteral("Passo %1: um verbo por passo.").arg(step));
    const QString verb = object.begin().key();
    const QJsonValue arg = object.begin().value();
    // A value of another JSON type stops the script as an unknown verb does: converted, it would
    // run a step nobody wrote ("open": 3 opens no screen, ["edtNome", 12] types nothing).
    auto expect = [&](bool ok, const char *what) {
        if (!ok)
            throw EHostError(
                QStringLiteral("Passo %1: \"%2\" espera %3.").arg(step).arg(verb, QString::fromUtf8(what)));
    };
    auto strings = [](const QJsonValue &value) {
        const QJsonArray a = value.toArray();
        return value.isArray() &&
               std::all_of(a.begin(), a.end(), [](const QJsonValue &v) { return v.isString(); });
    };
    static const QStringList textVerbs{QStringLiteral("open"), QStringLiteral("click"), QStringLiteral("focus")};
    if (textVerbs.contains(verb)) {
        expect(arg.isString(), "o nome entre aspas");
    } else if (verb == u"select") {
        expect(arg.isString() || (arg.isDouble() && arg.toDouble() == std::trunc(arg.toDouble())),
               "o título do relatório entre aspas ou a sua posição (um número inteiro)");
    } else if (verb == u"dump") {
        expect(strings(arg), "uma lista de nomes entre aspas");
    } else if (verb == u"answer") {
        const QJsonObject a = arg.toObject();
        bool typed = arg.isObject();
        for (auto it = a.begin(); it != a.end(); ++it)
            typed = typed && (it.key() == u"picker"  ? strings(it.value())
                              : it.key() == u"check" ? it.value().isBool()
                                                     : it.value().isString());
        expect(typed, "{\"picker\": [chaves]}, ou um texto entre aspas em \"search\", \"prompt\", \"file\" e "
                      "\"filter\", e true ou false em \"check\"");
    }
    auto pair = [&](const char *what) {
        const QJsonArray a = arg.toArray();
        if (a.size() != 2 || !a.at(0).isString() || !a.at(1).isString())
            throw EHostError(QStringLiteral("Passo %1: \"%2\" espera [controle, %3].").arg(step).arg(verb, QLatin1String(what)));
        return std::make_pair(control(a.at(0).toString()), a.at(1).toString());
    };

    if (verb == u"open") {
        mSession.openScreen(arg.toString());
    } else if (verb == u"close") {
        if (TForm *screen = activeScreen())
            EventBoundary::run([&] {
                if (QMdiSubWindow *sub = screen->subWindow())
                    sub->close();
                else
                    screen->close();
            });
    } else if (verb == u"activate") {
        TForm *screen = activeScreen();
        if (!screen)
            throw EHostError(QStringLiteral("Nenhuma tela aberta para ativar."));
        Application()->deactivateScreens();
        screen->Show();
    } else if (verb == u"select") {
        auto *screen = qobject_cast<TfrmDadosGerRel *>(activeScreen());
        if (!screen)
            throw EHostError(QStringLiteral("Nenhuma tela de relatório aberta."));
        int index = arg.isString() ? screen->cbbReportNames->findText(arg.toString(), Qt::MatchExactly) : arg.toInt(-2);
        if (index < -1 || index >= screen->cbbReportNames->count())
            throw EHostError(QStringLiteral("Passo %1: relatório desconhecido.").arg(step));
        screen->cbbReportNames->setCurrentIndex(index);
    } else if (verb == u"type") {
        auto [widget, text] = pair("texto");
        typeInto(widget, text);
    } else if (verb == u"set") {
        auto [widget, text] = pair("texto");
        // Structured bindings are captured by name: older compilers cannot capture them directly.
        EventBoundary::run([&, widget = widget, text = text] {
            if (auto *mask = qobject_cast<TMaskEdit *>(widget))
                mask->SetText(text);
            else if (auto *edit = qobject_cast<QLineEdit *>(widget))
                edit->setText(text);
            else
                throw EHostError(QStringLiteral("O controle '%1' não recebe texto.").arg(widget->objectName()));
        });
    } else if (verb == u"click") {
        auto *button = qobject_cast<QAbstractButton *>(control(arg.toString()));
        if (!button)
            throw EHostError(QStringLiteral("O controle '%1' não é clicável.").arg(arg.toString()));
        button->click();
    } else if (verb == u"focus") {
        moveFocus(control(arg.toString()));
    } else if (verb == u"answer") {
        const QJsonObject a = arg.toObject();
        if (a.contains(u"picker")) {
            QStringList keys;
            const QJsonArray array = a.value(u"picker").toArray();
            for (const QJsonValue &k : array)
                keys << k.toString();
            mUi.answerPicker(keys);
        } else if (a.contains(u"search")) {
            mUi.answerSearch(a.value(u"search").toString());
        } else if (a.contains(u"prompt")) {
            mUi.answerPrompt(a.value(u"prompt").toString());
        } else if (a.contains(u"file")) {
            mUi.answerFile(a.value(u"file").toString(), a.value(u"filter").toString(),
                           a.contains(u"check") ? std::optional<bool>(a.value(u"check").toBool()) : std::nullopt);
        } else {
            throw EHostError(QStringLiteral("Passo %1: resposta desconhecida.").arg(step));
        }
    } else if (verb == u"paint") {
        paintReportList();
    } else if (verb == u"dump") {
        QJsonObject dump;
        const QJsonArray names = arg.toArray();
        for (const QJsonValue &n : names)
            dump.insert(n.toString(), dumpOf(n.toString()));
        emitLine({{QStringLiteral("step"), step}, {QStringLiteral("dump"), dump}});
    } else if (verb == u"screenshot") {
        QWidget *target = activeScreen() ? static_cast<QWidget *>(activeScreen()) : mSession.mainWindow();
        if (arg.toObject().value(u"window").toBool() || !activeScreen())
            target = mSession.mainWindow();
        const QString path = arg.isString() ? arg.toString() : arg.toObject().value(u"file").toString();
        // The format first: a name the image writer does not know leaves any file there untouched.
        const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
        if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format))
            throw EHostError(QStringLiteral("Não foi possível gravar a imagem '%1': '.%2' não é um formato de imagem "
                                            "conhecido (use .png, por exemplo).")
                                 .arg(path, QFileInfo(path).suffix()));
        ReportFile file(path);
        if (!target || !target->grab().save(&file.device(), format.constData()))
            throw EHostError(QStringLiteral("Não foi possível gravar a imagem '%1'.").arg(path));
        file.commit();
    } else {
        throw EHostError(QStringLiteral("Passo %1: verbo desconhecido '%2'.").arg(step).arg(verb));
    }
    processEvents();
    if (TForm *screen = activeScreen())
        connectScreen(screen);
    QWidget *focus = QApplication::focusWidget();
    emitLine({{QStringLiteral("step"), step},
              {QStringLiteral("focus"), focus && !focus->objectName().isEmpty() ? QJsonValue(focus->objectName())
                                                                                : QJsonValue(QJsonValue::Null)}});
}

int ScriptRunner::runFile(const QString &scriptPath, const QString &configPath, FILE *out, FILE *err)
{
    auto fail = [err](const QString &text) {
        std::fprintf(err, "backoffice: %s\n", terminalText(text).toLocal8Bit().constData());
        return 2;
    };
    QFile file(scriptPath);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("não foi possível ler o roteiro '%1': %2").arg(scriptPath, file.errorString()));
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject())
        return fail(QStringLiteral("roteiro '%1' inválido: %2").arg(scriptPath, parseError.errorString()));
    const QJsonObject script = doc.object();

    RecordingUi ui;
    ScopedUi scope(ui);
    HostSession session;
    int step = -1;
    try {
        if (const QJsonValue v = script.value(u"config"); !v.isUndefined() && !v.isObject())
            throw EHostError(
                QStringLiteral("roteiro '%1': \"config\" deve ser um objeto {...}.").arg(scriptPath));
        if (!script.value(u"steps").isArray())
            throw EHostError(QStringLiteral("roteiro '%1': \"steps\" deve ser uma lista de passos [...].")
                                 .arg(scriptPath));
        HostConfig config = HostConfig::load(configPath);
        config.applyOverrides(script.value(u"config").toObject(), QFileInfo(scriptPath).absolutePath());
        session.start(config);
        session.showMainWindow();
        processEvents();
        ScriptRunner runner(session, ui, [out](const QJsonObject &line) {
            std::fputs(QJsonDocument(line).toJson(QJsonDocument::Compact).constData(), out);
            std::fputc('\n', out);
            std::fflush(out);
        });
        const QJsonArray steps = script.value(u"steps").toArray();
        for (step = 0; step < steps.size(); ++step) {
            if (!steps.at(step).isObject())
                throw EHostError(QStringLiteral("passo %1 não é um objeto").arg(step));
            runner.runStep(step, steps.at(step).toObject());
        }
    } catch (const std::exception &e) {
        return fail(step >= 0 ? QStringLiteral("passo %1: %2").arg(step).arg(describeException(e)) : describeException(e));
    }
    return 0;
}
