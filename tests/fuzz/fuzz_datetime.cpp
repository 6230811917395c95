// Date texts: StrToDateTime either throws EConvertError or answers a valid date and time, and the
// date edit's validity, date and date value agree with each other.
#include "consiste.h"
#include "errors.h"
#include "fuzzsupport.h"
#include "widgets.h"

#include <exception>

namespace {
const QDate DateZero(1899, 12, 30);

void checkStrToDateTime(const QString &input)
{
    QDateTime value;
    try {
        value = StrToDateTime(input);
    } catch (const EConvertError &) {
        return;
    } catch (const std::exception &e) {
        fuzz::fail("StrToDateTime: unexpected exception", input + u" -> "_s + QString::fromUtf8(e.what()));
    } catch (...) {
        fuzz::fail("StrToDateTime: unexpected non-standard exception", input);
    }
    fuzz::check(value.isValid(), "StrToDateTime: invalid date and time returned", input);
    // What the host writes back ("dd/MM/yyyy HH:mm") is read as the same moment.
    const QString written = value.toString(QStringLiteral("dd/MM/yyyy HH:mm"));
    QDateTime again;
    try {
        again = StrToDateTime(written);
    } catch (const EConvertError &) {
        fuzz::fail("StrToDateTime: its own written form is refused", input + u" -> "_s + written);
    }
    fuzz::check(again == value, "StrToDateTime: written form reads as another moment", input + u" -> "_s + written);
}

void checkDateEdit(TDateEditPlus &edit, const QString &input)
{
    edit.SetText(input);
    const QString where = u"input ["_s + input + u"] shown ["_s + edit.EditText() + u']';
    const QDate date = edit.date();
    fuzz::check(edit.IsDateValid() == date.isValid(), "IsDateValid disagrees with date()", where);
    if (!date.isValid()) {
        fuzz::check(edit.GetDate() == 0.0, "GetDate of an invalid date is not 0", where);
        fuzz::check(edit.weekdayName().isEmpty(), "weekday name for an invalid date", where);
        return;
    }
    fuzz::check(edit.GetDate() == double(DateZero.daysTo(date)), "GetDate is not the days since 30/12/1899", where);
    fuzz::check(edit.EditText() == date.toString(QStringLiteral("dd/MM/yyyy")), "valid date not shown as dd/MM/yyyy", where);
    fuzz::check(!edit.weekdayName().isEmpty(), "valid date without a weekday name", where);
    // A valid date in the edit is also a valid date for the runtime's conversion.
    try {
        fuzz::check(StrToDateTime(edit.EditText()).date() == date, "StrToDateTime reads the edit's date otherwise", where);
    } catch (const EConvertError &) {
        fuzz::fail("StrToDateTime refuses a date the edit accepts", where);
    }
    edit.setDate(date);
    fuzz::check(edit.date() == date, "setDate(date()) changes the date", where);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    fuzz::application();
    static TDateEditPlus *edit = new TDateEditPlus; // reused: its mask never changes
    FuzzedDataProvider data(bytes, size);
    while (data.remaining_bytes() > 0) {
        const QString input = fuzz::text(data, 40);
        checkStrToDateTime(input);
        checkDateEdit(*edit, input);
    }
    return 0;
}
