#pragma once

#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <vector>

// xoshiro256** seeded through splitmix64: the same numbers on every compiler and library, which
// std::mt19937 plus the standard distributions do not promise.
class DemoRandom
{
public:
    explicit DemoRandom(quint64 seed)
    {
        for (quint64 &word : mState) {
            seed += 0x9E3779B97F4A7C15ull;
            quint64 z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            word = z ^ (z >> 31);
        }
    }

    quint64 next()
    {
        const quint64 result = rotl(mState[1] * 5, 7) * 9;
        const quint64 t = mState[1] << 17;
        mState[2] ^= mState[0];
        mState[3] ^= mState[1];
        mState[1] ^= mState[2];
        mState[0] ^= mState[3];
        mState[2] ^= t;
        mState[3] = rotl(mState[3], 45);
        return result;
    }

    // [0, 1)
    double uniform() { return double(next() >> 11) * 0x1.0p-53; }
    double uniform(double low, double high) { return low + (high - low) * uniform(); }
    // [low, high]
    qint64 between(qint64 low, qint64 high) { return low + qint64(uniform() * double(high - low + 1)); }
    bool chance(double probability) { return uniform() < probability; }

private:
    static quint64 rotl(quint64 x, int k) { return (x << k) | (x >> (64 - k)); }
    quint64 mState[4];
};

// Picks an index with probability proportional to its weight.
class DemoPicker
{
public:
    DemoPicker() = default;
    explicit DemoPicker(const std::vector<double> &weights)
    {
        mCumulative.reserve(weights.size());
        double sum = 0;
        for (double w : weights)
            mCumulative.push_back(sum += w);
    }
    bool empty() const { return mCumulative.empty() || mCumulative.back() <= 0; }
    int pick(DemoRandom &random) const
    {
        const double target = random.uniform() * mCumulative.back();
        const auto it = std::upper_bound(mCumulative.begin(), mCumulative.end(), target);
        return int(std::min<std::ptrdiff_t>(it - mCumulative.begin(), std::ptrdiff_t(mCumulative.size()) - 1));
    }

private:
    std::vector<double> mCumulative;
};

// Splits total into parts proportional to weights (largest remainder), each part at least minimum.
inline std::vector<qint64> demoApportion(qint64 total, const std::vector<double> &weights, qint64 minimum = 0)
{
    const size_t n = weights.size();
    std::vector<qint64> parts(n, minimum);
    qint64 rest = total - minimum * qint64(n);
    if (n == 0 || rest <= 0)
        return parts;
    double sum = 0;
    for (double w : weights)
        sum += w;
    std::vector<std::pair<double, size_t>> remainders;
    qint64 given = 0;
    for (size_t i = 0; i < n; ++i) {
        const double exact = double(rest) * weights[i] / sum;
        const qint64 whole = qint64(std::floor(exact));
        parts[i] += whole;
        given += whole;
        remainders.emplace_back(exact - double(whole), i);
    }
    std::stable_sort(remainders.begin(), remainders.end(),
                     [](const auto &a, const auto &b) { return a.first > b.first; });
    for (qint64 k = 0; k < rest - given; ++k)
        ++parts[remainders[size_t(k % qint64(n))].second];
    return parts;
}
