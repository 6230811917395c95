#include "vendhoraexportdriver.h"

#include "consiste.h"
#include "errors.h"
#include "modulestate.h"
#include "vendhoracompleteness.h"
#include "reportdefinition.h"
#include "screensteps.h"
#include "tfrmdadosgerrel.h"
#include "widgets.h"

#include <QAbstractButton>
#include <QJsonObject>
#include <QLineEdit>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The screen's code, as the host's menu and scripts open it.
const QString kScreen = u"Vnd02500"_s;

// A list filter: its "Lista" radio, the button that opens its picker and the width of its codes.
struct ListControls
{
    const char *radio;
    const char *button;
    int width;
};

ListControls listControls(ExportOption option)
{
    switch (option) {
    case ExportOption::Stores:
        return {"rbtListaLoja", "btnLoja", 10};
    case ExportOption::Registers:
        return {"rbtListaCaixa", "btnCaixa", 3};
    default:
        return {"rbtListaFil", "btnListaFil", 4};
    }
}

// The parameters through which a report takes the filter of `option`.
QStringList paramsOf(ExportOption option)
{
    switch (option) {
    case ExportOption::Branch:
    case ExportOption::Branches:
    case ExportOption::AllBranches:
        return {u"P_CDFILIAL"_s, u"P_TCDFILIAL"_s};
    case ExportOption::Stores:
        return {u"P_CDLOJA"_s, u"P_TCDLOJA"_s};
    case ExportOption::Registers:
        return {u"P_CDCAIXA"_s, u"P_TCDCAIXA"_s};
    case ExportOption::Hours:
        return {u"P_HRINI"_s, u"P_HRFIN"_s, u"P_HRINI1"_s, u"P_HRFIN1"_s};
    case ExportOption::Interval:
        return {u"MINUTOS"_s, u"MINUTOS1"_s};
    case ExportOption::Products:
        return {u"P_PRODINI"_s, u"P_PRODFIN"_s};
    case ExportOption::NoFees:
        return {u"P_IDCONSTXSERV"_s};
    }
    return {};
}

QString fieldControl(ExportField field)
{
    switch (field) {
    case ExportField::Branch:
        return u"edtFilial"_s;
    case ExportField::HourStart:
        return u"medHoraIni"_s;
    case ExportField::HourEnd:
        return u"medHoraFin"_s;
    case ExportField::Interval:
        return u"medHoras"_s;
    case ExportField::ProductFrom:
        return u"medDe"_s;
    case ExportField::ProductTo:
        return u"medAte"_s;
    }
    return {};
}

} // namespace

void VendHoraExportDriver::registerDriver()
{
    registerFactory(kScreen,
                    [](ScreenSteps &steps) { return std::make_unique<VendHoraExportDriver>(steps); });
}

void VendHoraExportDriver::unregisterDriver()
{
    unregisterFactory(kScreen);
}

VendHoraExportDriver::VendHoraExportDriver(ScreenSteps &steps) : mSteps(steps) {}

TfrmDadosGerRel *VendHoraExportDriver::screen() const
{
    return qobject_cast<TfrmDadosGerRel *>(mSteps.activeScreen());
}

bool VendHoraExportDriver::open()
{
    mSteps.step({{u"open"_s, kScreen}});
    return screen() != nullptr;
}

QStringList VendHoraExportDriver::reportTitles() const
{
    const QComboBox *list = screen()->cbbReportNames;
    QStringList titles;
    for (int i = 0; i < list->count(); ++i)
        titles << list->itemText(i);
    return titles;
}

QList<ExportOption> VendHoraExportDriver::takenOptions(int index) const
{
    const TParams declared = ReportDefinition::load(screen()->catalog().pathOf(index)).makeParams();
    QList<ExportOption> taken;
    for (ExportOption option : {ExportOption::Branch, ExportOption::Branches, ExportOption::AllBranches,
                                ExportOption::Stores, ExportOption::Registers, ExportOption::Hours,
                                ExportOption::Interval, ExportOption::Products, ExportOption::NoFees}) {
        const QStringList params = paramsOf(option);
        if (std::any_of(params.begin(), params.end(),
                        [&declared](const QString &name) { return declared.FindParam(name); }))
            taken << option;
    }
    return taken;
}

void VendHoraExportDriver::selectReport(int index)
{
    mSteps.step({{u"select"_s, index}});
}

bool VendHoraExportDriver::isOpen(ExportOption option) const
{
    QString control;
    switch (option) {
    case ExportOption::Branch:
        control = takesBranchList() ? u"rbtListaFil"_s : u"edtFilial"_s; // a list of one branch, or the field
        break;
    case ExportOption::AllBranches:
        control = u"rbtTodosFil"_s;
        break;
    case ExportOption::Branches:
    case ExportOption::Stores:
    case ExportOption::Registers:
        control = QString::fromLatin1(listControls(option).radio);
        break;
    case ExportOption::Hours:
        control = fieldControl(ExportField::HourStart);
        break;
    case ExportOption::Interval:
        control = fieldControl(ExportField::Interval);
        break;
    case ExportOption::Products:
        control = fieldControl(ExportField::ProductFrom);
        break;
    case ExportOption::NoFees:
        control = u"chbConsideraServico"_s;
        break;
    }
    return mSteps.control(control)->isEnabled();
}

bool VendHoraExportDriver::takesBranchList() const
{
    auto *pages = qobject_cast<TNotebook *>(mSteps.control(u"nbkFilial"_s));
    return pages && pages->PageIndex() == 1;
}

QString VendHoraExportDriver::type(ExportField field, const QString &text)
{
    const QString control = fieldControl(field);
    // Backspaces first in the branch field: it holds the configured branch, and whether the focus
    // arrives with the text selected depends on where it came from.
    mSteps.type(control, (field == ExportField::Branch ? QString(5, u'\b') : QString()) + text);
    QWidget *widget = mSteps.control(control);
    if (auto *mask = qobject_cast<TMaskEdit *>(widget))
        return mask->Text();
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        return edit->text();
    return {};
}

void VendHoraExportDriver::setPeriod(const QDate &from, const QDate &to)
{
    mSteps.type(u"depDtHrIni"_s, from.toString(u"ddMMyyyy"_s));
    mSteps.type(u"depDtHrFin"_s, to.toString(u"ddMMyyyy"_s));
}

void VendHoraExportDriver::choose(ExportOption option)
{
    mSteps.click(option == ExportOption::AllBranches ? u"rbtTodosFil"_s
                                                     : QString::fromLatin1(listControls(option).radio));
}

// Codes as the lists hold them: zero-padded on the left to the column's width. A longer code is
// kept whole, so it is reported as missing rather than cut to another code.
QStringList VendHoraExportDriver::listKeys(ExportOption option, const QStringList &codes) const
{
    const int width = listControls(option).width;
    QStringList keys;
    for (const QString &code : codes)
        keys << (code.size() < width ? Ajusta(code, width) : code);
    return keys;
}

std::optional<QStringList> VendHoraExportDriver::pick(ExportOption option, const QStringList &keys)
{
    mSteps.answerPicker(keys);
    return mSteps.offered(mSteps.click(QString::fromLatin1(listControls(option).button)));
}

void VendHoraExportDriver::leaveOutFees()
{
    if (qobject_cast<QAbstractButton *>(mSteps.control(u"chbConsideraServico"_s))->isChecked())
        mSteps.click(u"chbConsideraServico"_s);
}

bool VendHoraExportDriver::canSave() const
{
    return mSteps.control(u"sbtSalvarComo"_s)->isEnabled();
}

void VendHoraExportDriver::save(const QString &path, bool csvFilters)
{
    // The save dialog's check box: left unchecked unless asked, as a person would leave it.
    mSteps.step({{u"answer"_s, QJsonObject{{u"file"_s, path}, {u"check"_s, csvFilters}}}});
    mSteps.click(u"sbtSalvarComo"_s);
}

// Branch-bound, the search is closed: the one branch is the list.
std::optional<QStringList> VendHoraExportDriver::branchCodes()
{
    if (!mSteps.control(u"btnPesqFilial"_s)->isEnabled())
        return QStringList{qobject_cast<QLineEdit *>(mSteps.control(u"edtFilial"_s))->text()};
    return mSteps.offered(mSteps.click(u"btnPesqFilial"_s));
}

// The filters of the report just saved, as the screen holds them.
QStringList VendHoraExportDriver::idleStores()
{
    VendHoraCompleteness::Filter filter;
    filter.branches = takesBranchList() ? stFilial : qobject_cast<QLineEdit *>(mSteps.control(u"edtFilial"_s))->text();
    filter.stores = qobject_cast<QAbstractButton *>(mSteps.control(u"rbtTodasLoja"_s))->isChecked() ? u"T"_s : stLoja;
    filter.lastDay = qobject_cast<TDateEditPlus *>(mSteps.control(u"depDtHrFin"_s))->date();
    filter.hourFrom = qobject_cast<TMaskEdit *>(mSteps.control(u"medHoraIni"_s))->Text();
    filter.hourTo = qobject_cast<TMaskEdit *>(mSteps.control(u"medHoraFin"_s))->Text();
    try {
        return VendHoraCompleteness::idle(filter, VendHoraCompleteness::read(filter));
    } catch (const std::exception &e) {
        throw EHostError(u"A verificação das lojas sem movimento não leu as vendas: "_s + describeException(e));
    }
}
