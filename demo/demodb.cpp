#include "demodb.h"

#include "demodata.h"
#include "demorandom.h"
#include "demoschema.h"
#include "demowriter.h"
#include "driverprofile.h"
#include "errors.h"
#include "firebird.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <array>
#include <cmath>
#include <string>

using namespace Qt::StringLiterals;

namespace {

constexpr int OpenMinute = 8 * 60;    // 08:00
constexpr int CloseMinute = 22 * 60;  // 22:00, last ticket at 21:59
constexpr int OpenMinutes = CloseMinute - OpenMinute;
constexpr int MaxItemsPerTicket = 8;

std::string code(qint64 number, int width)
{
    std::string text = std::to_string(number);
    return std::string(size_t(std::max<qint64>(0, width - qint64(text.size()))), '0') + text;
}

std::string utf8(const QString &text, int maxChars)
{
    return text.left(maxChars).trimmed().toStdString();
}

QString numbered(const char *base, qint64 round)
{
    static const char *const roman[] = {"", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX", "X"};
    QString name = QString::fromUtf8(base);
    if (round > 0)
        name += u' ' + (round < 10 ? QString::fromLatin1(roman[round]) : QString::number(round + 1));
    return name;
}

struct Branch
{
    std::string code, name, city, state;
    double weight = 0;
};

struct Store
{
    std::string branch, code, name;
};

struct Register
{
    std::string branch, store, code, name;
    double weight = 0;
};

struct Product
{
    std::string code, tree, name, unit;
    char level = '3';
    qint64 priceCents = 0;
    unsigned periods = AllDay;
    bool active = true;
};

int periodOf(int minute)
{
    if (minute < 11 * 60)
        return 0;
    if (minute < 15 * 60)
        return 1;
    if (minute < 18 * 60)
        return 2;
    return 3;
}

double bump(double minute, double centre, double width)
{
    const double z = (minute - centre) / width;
    return std::exp(-0.5 * z * z);
}

class DemoGenerator
{
public:
    DemoGenerator(const DemoSize &size, quint32 seed, DemoWriter &writer, const DemoProgress &progress)
        : mSize(size), mSeed(seed), mWriter(writer), mProgress(progress)
    {
    }

    DemoCounts run()
    {
        buildChain();
        buildProducts();
        for (const QString &sql : demoTableDdl(mWriter.dialect()))
            mWriter.execute(sql);
        const bool summary = mWriter.dialect() != DemoDialect::Firebird;
        if (summary)
            for (const QString &sql : demoSummaryTableDdl(mWriter.dialect()))
                mWriter.execute(sql);
        if (mWriter.dialect() == DemoDialect::Firebird) {
            for (const QString &sql : demoFirebirdRoutinesDdl())
                mWriter.execute(sql);
            for (const QString &sql : demoFirebirdReportGrantsDdl())
                mWriter.execute(sql);
        }
        if (mWriter.dialect() == DemoDialect::PostgreSQL) {
            for (const QString &sql : demoPostgresRoutinesDdl())
                mWriter.execute(sql);
            for (const QString &sql : demoPostgresReportGrantsDdl())
                mWriter.execute(sql);
        }

        mWriter.beginRows();
        writeMasterData();
        writeSales();
        mWriter.endRows();

        const QStringList indexes = demoIndexDdl(mWriter.dialect());
        for (qsizetype i = 0; i < indexes.size(); ++i) {
            report(u"indices"_s, i, indexes.size());
            mWriter.execute(indexes[i]);
        }
        report(u"indices"_s, indexes.size(), indexes.size());
        if (summary) {
            QStringList steps = demoSummaryFillSql();
            steps << demoSummaryTriggerDdl(mWriter.dialect());
            for (qsizetype i = 0; i < steps.size(); ++i) {
                report(u"resumo"_s, i, steps.size());
                mWriter.execute(steps[i]);
            }
            report(u"resumo"_s, steps.size(), steps.size());
        }
        mWriter.finish();
        return mCounts;
    }

private:
    void report(const QString &stage, qint64 done, qint64 total) const
    {
        if (mProgress)
            mProgress(stage, done, total);
    }

    // Branch 0001 is the flagship with the most stores; the last branch is still opening and has
    // none; one register of 0001 still points at a store that was closed and deleted.
    void buildChain()
    {
        DemoRandom random(quint64(mSeed) * 0x100000001B3ull + 1);
        const int withStores = mSize.branches - 1;
        const auto &cities = demoCities();
        static const char *const regions[] = {"Zona Sul", "Zona Norte", "Zona Leste", "Zona Oeste", "Centro"};
        std::vector<double> branchWeights;
        for (int i = 0; i < withStores; ++i) {
            const DemoCity &city = cities[size_t(i) % cities.size()];
            const size_t round = size_t(i) / cities.size();
            // Past the list, a city gets more branches, named after its regions.
            QString name = QString::fromUtf8(city.name);
            if (round > 0)
                name += u' ' + numbered(regions[(round - 1) % 5], qint64(round - 1) / 5);
            const Branch branch{code(i + 1, 4), utf8(name, 30), city.name, city.state,
                                i == 0 ? 3.0 : random.uniform(0.6, 1.6)};
            branchWeights.push_back(branch.weight);
            mBranches.push_back(branch);
        }
        mBranches.push_back({code(mSize.branches, 4), "Filial em Implantação", "Palmas", "TO", 0});

        const std::vector<qint64> storesPerBranch = demoApportion(mSize.stores, branchWeights, 1);
        const auto &places = demoStorePlaces();
        std::vector<double> storeWeights;
        std::vector<int> storeBranch;
        qint64 storeNumber = 0;
        for (int b = 0; b < withStores; ++b) {
            for (qint64 j = 0; j < storesPerBranch[size_t(b)]; ++j) {
                QString name = QString::fromUtf8(mBranches[size_t(b)].city) + u" - "_s +
                               numbered(places[size_t(j) % places.size()], j / qint64(places.size()));
                mStores.push_back({mBranches[size_t(b)].code, code(++storeNumber, 10), utf8(name, 50)});
                storeWeights.push_back(mBranches[size_t(b)].weight * random.uniform(0.7, 1.3));
                storeBranch.push_back(b);
            }
        }

        // A big branch has more stores, not bigger ones: registers follow the store alone.
        std::vector<double> registerShares;
        for (size_t s = 0; s < mStores.size(); ++s)
            registerShares.push_back(random.uniform(0.7, 1.3));
        const std::vector<qint64> registersPerStore = demoApportion(mSize.registers - 1, registerShares, 1);
        std::vector<int> nextRegister(size_t(mSize.branches), 0);
        double weightSum = 0;
        for (size_t s = 0; s < mStores.size(); ++s) {
            const int b = storeBranch[s];
            const qint64 count = registersPerStore[s];
            for (qint64 k = 0; k < count; ++k) {
                const int number = ++nextRegister[size_t(b)];
                if (number > 998)
                    throw EDatabaseError(u"Branch %1 would need more than 998 registers; ask for fewer "
                                         u"registers or more branches"_s.arg(QString::fromStdString(mBranches[size_t(b)].code)));
                const double weight = storeWeights[s] / double(count) * random.uniform(0.6, 1.4);
                weightSum += weight;
                mRegisters.push_back({mStores[s].branch, mStores[s].code, code(number, 3),
                                      utf8(u"Caixa %1"_s.arg(k + 1, 2, 10, QLatin1Char('0')), 30), weight});
            }
        }
        mRegisters.push_back({DemoCodes::DefaultBranch, DemoCodes::MissingStore, DemoCodes::OrphanRegister,
                              "Caixa Loja Desativada", 0.2 * weightSum / double(mRegisters.size())});
    }

    void buildProducts()
    {
        DemoRandom random(quint64(mSeed) * 0x100000001B3ull + 2);
        const qint64 total = mSize.products;
        const double root = std::sqrt(double(total));
        const int groupCount = int(std::clamp<qint64>(std::llround(root / 3.2), 1, 99));
        qint64 subgroupCount = std::clamp<qint64>(std::llround(1.6 * root), groupCount, 99 * groupCount);
        while (subgroupCount > groupCount && total - groupCount - subgroupCount < subgroupCount)
            --subgroupCount;
        const qint64 itemCount = total - groupCount - subgroupCount;
        const std::vector<qint64> subgroupsPerGroup =
            demoApportion(subgroupCount, std::vector<double>(size_t(groupCount), 1.0), 1);
        std::vector<double> itemWeights;
        for (qint64 i = 0; i < subgroupCount; ++i)
            itemWeights.push_back(random.uniform(0.5, 1.5));
        const std::vector<qint64> itemsPerSubgroup = demoApportion(itemCount, itemWeights, 1);

        const auto &groups = demoGroups();
        const auto &suffixes = demoProductSuffixes();
        qint64 number = 0;
        size_t subgroupIndex = 0;
        for (int g = 0; g < groupCount; ++g) {
            const DemoGroup &group = groups[size_t(g) % groups.size()];
            const std::string groupTree = code(g + 1, 2);
            mProducts.push_back({code(++number, 10), groupTree, utf8(numbered(group.name, g / qint64(groups.size())), 50),
                                 {}, '1', 0, group.periods});
            for (qint64 s = 0; s < subgroupsPerGroup[size_t(g)]; ++s) {
                const DemoSubgroup &sub = group.subgroups[size_t(s) % group.subgroups.size()];
                const std::string subTree = groupTree + code(s + 1, 2);
                mProducts.push_back({code(++number, 10), subTree,
                                     utf8(numbered(sub.name, s / qint64(group.subgroups.size())), 50), {}, '2', 0,
                                     group.periods});
                const qint64 items = itemsPerSubgroup[subgroupIndex++];
                if (items > 999)
                    throw EDatabaseError(u"A subgroup would hold more than 999 items; ask for fewer products"_s);
                const qint64 bases = qint64(sub.items.size());
                const qint64 variants = std::max<qint64>(1, qint64(sub.variants.size()));
                for (qint64 k = 0; k < items; ++k) {
                    QString name = QString::fromUtf8(sub.items[size_t(k % bases)]);
                    if (!sub.variants.empty())
                        name += u' ' + QString::fromUtf8(sub.variants[size_t((k / bases) % variants)]);
                    if (const qint64 extra = k / (bases * variants); extra > 0) {
                        const qint64 n = qint64(suffixes.size());
                        name += u' ' + numbered(suffixes[size_t((extra - 1) % n)], (extra - 1) / n);
                    }
                    // Bigger sizes cost more: the variant sets most of the price, chance the rest.
                    const double position = variants > 1 ? double((k / bases) % variants) / double(variants - 1) : 0.5;
                    const double cents = sub.minCents + (sub.maxCents - sub.minCents) *
                                                            (0.65 * position + 0.35 * random.uniform());
                    Product item{code(++number, 10), subTree + code(k + 1, 3), utf8(name, 50), sub.unit, '3',
                                 qint64(cents / 100) * 100 + 90, group.periods, !random.chance(0.02)};
                    mProducts.push_back(item);
                }
            }
        }

        // A few products sell a lot; each meal period favours its own groups.
        std::array<std::vector<double>, 4> weights;
        for (const Product &p : mProducts) {
            const double u = random.uniform();
            const double popularity = 0.05 + u * u * u;
            for (int period = 0; period < 4; ++period) {
                const bool sold = p.level == '3' && p.active;
                weights[size_t(period)].push_back(!sold ? 0.0 : (p.periods & (1u << period)) ? popularity
                                                                                              : popularity * 0.06);
            }
        }
        for (int period = 0; period < 4; ++period)
            mProductPickers[size_t(period)] = DemoPicker(weights[size_t(period)]);
    }

    void writeMasterData()
    {
        const DemoValue S = DemoValue::str("S"), N = DemoValue::str("N");
        const int modality = mWriter.prepare(demoTable("MODALIDADE"));
        for (const DemoModality &m : demoModalities()) {
            const DemoValue row[] = {DemoValue::str(m.code), DemoValue::str(m.name), m.active ? S : N};
            mWriter.insert(modality, row);
        }
        const int branch = mWriter.prepare(demoTable("FILIAL"));
        for (const Branch &b : mBranches) {
            const DemoValue row[] = {DemoValue::str(b.code), DemoValue::str(b.name), DemoValue::str(b.city),
                                     DemoValue::str(b.state), S};
            mWriter.insert(branch, row);
        }
        const int store = mWriter.prepare(demoTable("LOJA"));
        for (const Store &s : mStores) {
            const DemoValue row[] = {DemoValue::str(s.branch), DemoValue::str(s.code), DemoValue::str(s.name), S};
            mWriter.insert(store, row);
        }
        const int reg = mWriter.prepare(demoTable("CAIXA"));
        for (const Register &r : mRegisters) {
            const DemoValue row[] = {DemoValue::str(r.branch), DemoValue::str(r.store), DemoValue::str(r.code),
                                     DemoValue::str(r.name), S};
            mWriter.insert(reg, row);
        }
        const int product = mWriter.prepare(demoTable("PRODUTO"));
        for (const Product &p : mProducts) {
            const bool item = p.level == '3';
            const DemoValue row[] = {DemoValue::str(p.code),
                                     DemoValue::str(p.tree),
                                     DemoValue::str(p.name),
                                     item ? DemoValue::str(p.unit) : DemoValue{},
                                     DemoValue::str(std::string_view(&p.level, 1)),
                                     item ? DemoValue::cents(p.priceCents) : DemoValue{},
                                     p.active ? S : N};
            mWriter.insert(product, row);
        }
        mCounts.branches = qint64(mBranches.size());
        mCounts.stores = qint64(mStores.size());
        mCounts.registers = qint64(mRegisters.size());
        mCounts.products = qint64(mProducts.size());
    }

    // Tickets in time order, so each register's NRVENDA grows with the clock.
    void writeSales()
    {
        DemoRandom random(quint64(mSeed) * 0x100000001B3ull + 3);
        mSale = mWriter.prepare(demoTable("VENDA"));
        mItem = mWriter.prepare(demoTable("ITVENDA"));
        mPayment = mWriter.prepare(demoTable("PAGVENDA"));

        static const double weekday[] = {0.78, 0.82, 0.88, 0.95, 1.18, 1.38, 1.12}; // Monday first
        static const double month[] = {0.9, 0.92, 0.97, 1.0, 1.02, 1.0, 1.06, 1.0, 0.98, 1.0, 1.05, 1.22};
        const QDate first = mSize.firstDay();
        std::vector<double> dayWeights;
        for (int d = 0; d < mSize.days; ++d) {
            const QDate day = first.addDays(d);
            double w = weekday[day.dayOfWeek() - 1] * month[day.month() - 1] * random.uniform(0.9, 1.1);
            if ((day.month() == 12 && day.day() == 25) || (day.month() == 1 && day.day() == 1))
                w *= 0.35;
            dayWeights.push_back(w);
        }
        const std::vector<qint64> perDay = demoApportion(mSize.sales, dayWeights);

        // Lunch is the main peak, dinner the second; weekends lunch later and dine out more.
        std::vector<double> weekdayMinutes, weekendMinutes;
        for (int m = 0; m < OpenMinutes; ++m) {
            const double t = OpenMinute + m;
            weekdayMinutes.push_back(0.22 + 0.7 * bump(t, 8 * 60 + 45, 40) + 3.0 * bump(t, 12 * 60 + 30, 45) +
                                     0.35 * bump(t, 16 * 60, 60) + 2.0 * bump(t, 20 * 60, 55));
            weekendMinutes.push_back(0.22 + 0.45 * bump(t, 9 * 60 + 30, 50) + 3.2 * bump(t, 13 * 60, 60) +
                                     0.5 * bump(t, 16 * 60 + 30, 60) + 2.6 * bump(t, 20 * 60 + 30, 60));
        }
        const DemoPicker weekdayPicker(weekdayMinutes), weekendPicker(weekendMinutes);
        std::vector<double> registerWeights;
        for (const Register &r : mRegisters)
            registerWeights.push_back(r.weight);
        const DemoPicker registerPicker(registerWeights);
        mNextSale.assign(mRegisters.size(), 0);

        std::vector<qint64> minuteCounts(OpenMinutes);
        for (int d = 0; d < mSize.days; ++d) {
            const QDate day = first.addDays(d);
            const DemoPicker &minutes = day.dayOfWeek() >= 6 ? weekendPicker : weekdayPicker;
            std::fill(minuteCounts.begin(), minuteCounts.end(), 0);
            for (qint64 k = 0; k < perDay[size_t(d)]; ++k)
                ++minuteCounts[size_t(minutes.pick(random))];
            for (int m = 0; m < OpenMinutes; ++m)
                for (qint64 k = 0; k < minuteCounts[size_t(m)]; ++k)
                    writeSale(random, registerPicker.pick(random), day.toJulianDay(), OpenMinute + m);
        }
        report(u"vendas"_s, mCounts.sales, mSize.sales);
    }

    void writeSale(DemoRandom &random, int registerIndex, qint64 julianDay, int minute)
    {
        static const double itemCounts[] = {0, 35, 28, 17, 10, 6, 4}; // 1 to 6 items
        static const DemoPicker itemCountPicker(std::vector<double>(std::begin(itemCounts), std::end(itemCounts)));
        static const double unitCounts[] = {0, 78, 16, 4, 2};
        static const DemoPicker unitPicker(std::vector<double>(std::begin(unitCounts), std::end(unitCounts)));
        static const double tableService[] = {0.08, 0.30, 0.12, 0.35};
        static const double delivery[] = {0.03, 0.10, 0.05, 0.22};
        static const qint64 deliveryFees[] = {499, 690, 799, 990, 1200};

        const Register &reg = mRegisters[size_t(registerIndex)];
        const qint64 number = ++mNextSale[size_t(registerIndex)];
        const int period = periodOf(minute);
        const double kind = random.uniform();
        const bool isDelivery = kind < delivery[period];
        const bool isTable = !isDelivery && kind < delivery[period] + tableService[period];

        const int items = std::min(MaxItemsPerTicket, itemCountPicker.pick(random) + (isDelivery ? 1 : 0));
        const DemoPicker &products = mProductPickers[size_t(period)];
        struct Line
        {
            const Product *product;
            qint64 milli, total;
        } lines[MaxItemsPerTicket];
        qint64 goods = 0;
        for (int i = 0; i < items; ++i) {
            const Product &p = mProducts[size_t(products.pick(random))];
            const qint64 milli = p.unit == "KG" ? random.between(150, 1200) : 1000 * unitPicker.pick(random);
            const qint64 total = (milli * p.priceCents + 500) / 1000;
            lines[i] = {&p, milli, total};
            goods += total;
        }
        const qint64 discount = random.chance(0.04) ? goods * (random.chance(0.5) ? 5 : 10) / 100 : 0;
        const qint64 net = goods - discount;
        const qint64 serviceFee = isTable ? (net * 10 + 50) / 100 : 0;
        const qint64 deliveryFee = isDelivery ? deliveryFees[random.between(0, 4)] : 0;
        const bool cancelled = random.chance(0.005);

        const int h = minute / 60, m = minute % 60;
        const char hour[4] = {char('0' + h / 10), char('0' + h % 10), char('0' + m / 10), char('0' + m % 10)};
        const DemoValue branch = DemoValue::str(reg.branch), registerCode = DemoValue::str(reg.code),
                        ticket = DemoValue::integer(number);
        const DemoValue sale[] = {branch,
                                  DemoValue::str(reg.store),
                                  registerCode,
                                  ticket,
                                  DemoValue::date(julianDay),
                                  DemoValue::str(std::string_view(hour, 4)),
                                  DemoValue::integer(items),
                                  DemoValue::cents(discount),
                                  DemoValue::cents(net),
                                  DemoValue::cents(serviceFee),
                                  DemoValue::cents(deliveryFee),
                                  DemoValue::str(cancelled ? "S" : "N")};
        mWriter.insert(mSale, sale);
        for (int i = 0; i < items; ++i) {
            const DemoValue item[] = {branch,
                                      registerCode,
                                      ticket,
                                      DemoValue::integer(i + 1),
                                      DemoValue::str(lines[i].product->code),
                                      DemoValue::milli(lines[i].milli),
                                      DemoValue::cents(lines[i].product->priceCents),
                                      DemoValue::cents(lines[i].total)};
            mWriter.insert(mItem, item);
        }
        mCounts.items += items;

        const qint64 due = net + serviceFee + deliveryFee;
        const char *modalities[2];
        qint64 amounts[2] = {due, 0};
        int payments = 1;
        if (due >= 2000 && random.chance(0.12)) {
            amounts[0] = std::clamp<qint64>(qint64(double(due) * random.uniform(0.3, 0.7)) / 100 * 100, 100, due - 1);
            amounts[1] = due - amounts[0];
            payments = 2;
        }
        for (int i = 0; i < payments; ++i)
            modalities[i] = pickModality(random, period, isDelivery);
        for (int i = 0; i < payments; ++i) {
            const DemoValue payment[] = {branch, registerCode, ticket, DemoValue::integer(i + 1),
                                         DemoValue::str(modalities[i]), DemoValue::cents(amounts[i])};
            mWriter.insert(mPayment, payment);
        }
        mCounts.payments += payments;

        if (++mCounts.sales % 20000 == 0)
            report(u"vendas"_s, mCounts.sales, mSize.sales);
    }

    static const char *pickModality(DemoRandom &random, int period, bool isDelivery)
    {
        // Dinheiro, Crédito, Débito, Pix, Vale Refeição, Vale Alimentação, Online
        static const char *const codes[] = {"01", "02", "03", "04", "05", "06", "07"};
        static const DemoPicker counter({10, 27, 20, 30, 6, 3, 0});
        static const DemoPicker lunch({8, 24, 17, 28, 19, 4, 0});
        static const DemoPicker online({8, 15, 3, 20, 2, 0, 52});
        const DemoPicker &picker = isDelivery ? online : period == 1 ? lunch : counter;
        return codes[picker.pick(random)];
    }

    const DemoSize mSize;
    const quint32 mSeed;
    DemoWriter &mWriter;
    const DemoProgress &mProgress;
    std::vector<Branch> mBranches;
    std::vector<Store> mStores;
    std::vector<Register> mRegisters;
    std::vector<Product> mProducts;
    std::array<DemoPicker, 4> mProductPickers;
    std::vector<qint64> mNextSale;
    int mSale = -1, mItem = -1, mPayment = -1;
    DemoCounts mCounts;
};

bool isLocalFirebird(const DatabaseConfig &db)
{
    return db.host.isEmpty() && !db.name.contains(u':');
}

} // namespace

DemoSize DemoSize::tiny(qint64 sales)
{
    DemoSize size;
    size.branches = 4;
    size.stores = 5;
    size.registers = 9;
    size.products = 80;
    size.sales = sales;
    size.days = 14;
    return size;
}

DemoSize DemoSize::lookups(qint64 sales)
{
    DemoSize size;
    size.branches = 100;
    size.stores = 2000;
    size.registers = 20000;
    size.products = 100000;
    size.sales = sales;
    return size;
}

QString DemoSize::check() const
{
    if (branches < 2 || branches > 9999)
        return u"branches must be between 2 and 9999 (one of them stays without stores)"_s;
    if (stores < branches - 1)
        return u"every branch but the last needs a store: stores >= branches - 1"_s;
    if (registers < stores + 1)
        return u"every store needs a register, plus the orphan one: registers >= stores + 1"_s;
    if (products < 3)
        return u"products must be at least 3 (a group, a subgroup and an item)"_s;
    if (sales < 0)
        return u"sales cannot be negative"_s;
    if (days < 1 || !lastDay.isValid())
        return u"the sales need at least one day and a valid last day"_s;
    return {};
}

DemoCounts createDemoDatabase(const DatabaseConfig &db, const DemoSize &size, quint32 seed,
                              const DemoProgress &progress)
{
    if (const QString problem = size.check(); !problem.isEmpty())
        throw EDatabaseError(problem);
    std::unique_ptr<DemoWriter> writer;
    bool firebird = false;
    const DriverProfile &profile = driverProfile(db.driver);
    if (profile.kind == DbmsKind::SQLite) {
        writer = makeSqliteDemoWriter(db.name);
    } else if (profile.kind == DbmsKind::Firebird) {
        prepareFirebirdEmbedded();
        const QString user = db.user.isEmpty() ? u"SYSDBA"_s : db.user;
        const QString password = db.password.isEmpty() ? u"masterkey"_s : db.password;
        if (isLocalFirebird(db)) {
            if (!QFileInfo::exists(db.name))
                createFirebirdDatabase(db.name, user, password);
        } else {
            // A server database may or may not be there yet; only the engine can tell.
            try {
                setFirebirdForcedWrites(db, true);
            } catch (const EDatabaseError &) {
                createFirebirdDatabase(demoFirebirdTarget(db), user, password);
            }
        }
        // Every DDL commit would otherwise wait for the disk.
        setFirebirdForcedWrites(db, false);
        firebird = true;
        writer = makeFirebirdDemoWriter(db);
    } else if (profile.kind == DbmsKind::PostgreSQL || profile.odbc) {
        writer = makePostgresDemoWriter(db);
    } else {
        throw EDatabaseError(u"The demo database supports QSQLITE, QIBASE, QPSQL and QODBC (PostgreSQL), not %1"_s.arg(db.driver));
    }
    DemoGenerator generator(size, seed, *writer, progress);
    const DemoCounts counts = generator.run();
    writer.reset();
    if (firebird)
        setFirebirdForcedWrites(db, true);
    return counts;
}

qint64 rebuildSalesSummary(const DatabaseConfig &db)
{
    const DriverProfile &profile = driverProfile(db.driver);
    DemoDialect dialect = DemoDialect::PostgreSQL;
    if (profile.kind == DbmsKind::SQLite) {
        // Opening a missing file would make an empty database.
        if (!QFileInfo::exists(db.name))
            throw EDatabaseError(u"%1 does not exist"_s.arg(db.name));
        dialect = DemoDialect::SQLite;
    } else if (profile.kind != DbmsKind::PostgreSQL && !profile.odbc) {
        throw EDatabaseError(u"The sales summary is kept on SQLite and PostgreSQL, not %1"_s.arg(db.driver));
    }
    QStringList steps = demoSummaryDropDdl(dialect);
    steps << demoSummaryTableDdl(dialect) << demoSummaryFillSql() << demoSummaryTriggerDdl(dialect);
    if (dialect == DemoDialect::PostgreSQL) {
        const QString role = DatabaseConfig().reportRole;
        steps << uR"(DO $$ BEGIN
  IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = '%1') THEN GRANT SELECT ON %2, %3 TO "%4"; END IF;
END $$)"_s.arg(QString(role).replace(u'\'', u"''"_s), QLatin1String(SummaryTable), QLatin1String(HourSummaryTable),
               QString(role).replace(u'"', u"\"\""_s));
    }
    const QString name = u"demo_summary_"_s + QUuid::createUuid().toString(QUuid::WithoutBraces);
    qint64 rows = 0;
    // Runs after the connection below is gone, also when a step throws.
    const auto forget = qScopeGuard([&name] { QSqlDatabase::removeDatabase(name); });
    {
        QSqlDatabase connection = openDemoConnection(db, name);
        const auto fail = [&](const QString &why) {
            connection.rollback();
            connection.close();
            throw EDatabaseError(why);
        };
        if (!connection.transaction())
            fail(connection.lastError().text());
        QSqlQuery query(connection);
        for (const QString &sql : steps)
            if (!query.exec(sql))
                fail(u"%1\n%2"_s.arg(query.lastError().text(), sql));
        if (!query.exec(u"SELECT COUNT(*) FROM %1"_s.arg(QLatin1String(SummaryTable))) || !query.next())
            fail(query.lastError().text());
        rows = query.value(0).toLongLong();
        query.finish();
        if (!connection.commit())
            fail(connection.lastError().text());
        connection.close();
    }
    return rows;
}
