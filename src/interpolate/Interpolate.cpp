#include "interpolate/Interpolate.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <limits>

namespace cvg {

namespace {

// Extended precision: all arithmetic of the tables and of evaluation.
using Ext = long double;

constexpr int kGuardedExceptions = FE_DIVBYZERO | FE_OVERFLOW | FE_INVALID;

// Clears the guarded floating-point flags for the span of a table build and
// puts the caller's flags back afterwards, so the guard neither sees old
// errors nor hides them from whoever raised them.
class FPGuard {
public:
    FPGuard()
    {
        fegetexceptflag(&saved_, kGuardedExceptions);
        feclearexcept(kGuardedExceptions);
    }
    ~FPGuard() { fesetexceptflag(&saved_, kGuardedExceptions); }
    FPGuard(const FPGuard&) = delete;
    FPGuard& operator=(const FPGuard&) = delete;
    int raised() const { return fetestexcept(kGuardedExceptions); }

private:
    fexcept_t saved_;
};

// A division by zero or an overflow usually leaves an infinity behind that a
// later step turns into an invalid operation, so the first two name the cause.
QString errorText(int raised)
{
    if (raised & FE_DIVBYZERO)
        return QStringLiteral("Division by zero while preparing the interpolation");
    if (raised & FE_OVERFLOW)
        return QStringLiteral("Overflow while preparing the interpolation");
    return QStringLiteral("Invalid floating-point operation while preparing the interpolation");
}

// 1-based bisection over the abscissas X[1 .. count]: the segment whose end
// is X[j] wins when x equals an interior abscissa.
template <class Table> int bisect(const Table& table, int count, Ext x, bool descending)
{
    int lo = 1;
    int hi = count;
    int mid = (count + 1) / 2;
    do {
        const Ext xm = table[size_t(mid - 1)].x;
        if (descending ? xm <= x : x <= xm)
            hi = mid;
        else
            lo = mid;
        mid = (lo + hi) / 2;
    } while (mid != lo);
    return lo;
}

} // namespace

void TInterpolate::releaseTables()
{
    // Assigning empty vectors gives the memory back; clear() would keep it.
    linear_ = {};
    square_ = {};
    spline_ = {};
    work_ = {};
    capacity_ = 0;
}

void TInterpolate::allocateTables(int n)
{
    releaseTables();
    switch (method_) {
    case TMethod::Linear:
        linear_.resize(size_t(n));
        break;
    case TMethod::Square:
        square_.resize(size_t(n));
        work_.resize(size_t(n));
        break;
    case TMethod::CSpline:
        spline_.resize(size_t(n));
        work_.resize(size_t(n) * 4);
        break;
    }
    capacity_ = n;
}

void TInterpolate::setMethod(TMethod method)
{
    releaseTables();
    method_ = method;
}

void TInterpolate::reportError(const QString& text)
{
    errorMessage_ = text;
    prepared_ = false;
    if (OnFPError)
        OnFPError(*this);
}

bool TInterpolate::Prepare(int n, const double* x, const double* y)
{
    errorMessage_.clear();
    // Fewer than two points or values that are not finite would only give
    // 0/0 or infinities further on; they are refused the same way.
    bool finite = n >= 2 && x != nullptr && y != nullptr;
    for (int i = 0; finite && i < n; ++i)
        finite = std::isfinite(x[i]) && std::isfinite(y[i]);
    if (!finite) {
        reportError(errorText(FE_INVALID));
        return prepared_;
    }

    if (n > capacity_)
        allocateTables(n);

    bool descending = false;
    double scale = 0;
    double offset = 0;
    int raised = 0;
    {
        FPGuard guard;
        switch (method_) {
        case TMethod::Linear:
            buildLinear(n, x, y);
            break;
        case TMethod::Square:
            buildSquare(n, x, y);
            break;
        case TMethod::CSpline:
            buildSpline(n, x, y);
            break;
        }
        raised = guard.raised();
        // Guarded as well: abscissas that are not monotonic may pass the
        // table build and still give first == last here.
        if (raised == 0) {
            descending = x[n - 1] <= x[0];
            scale = double(Ext(n - 1) / (Ext(x[n - 1]) - Ext(x[0])));
            offset = double(-Ext(scale) * Ext(x[0]) - 0.5L);
            raised = guard.raised();
        }
    }
    if (raised != 0) {
        reportError(errorText(raised));
        return prepared_;
    }
    descending_ = descending;
    count_ = n;
    x0_ = x[0];
    scale_ = scale;
    offset_ = offset;
    prepared_ = true;
    return prepared_;
}

void TInterpolate::buildLinear(int n, const double* x, const double* y)
{
    for (int i = 0; i + 1 < n; ++i) {
        LinearEntry& e = linear_[size_t(i)];
        e.x = float(x[i]);
        e.y = float(y[i]);
        e.slope = float((Ext(y[i + 1]) - Ext(y[i])) / (Ext(x[i + 1]) - Ext(x[i])));
    }
    LinearEntry& last = linear_[size_t(n - 1)];
    last.x = float(x[n - 1]);
    last.y = float(y[n - 1]);
    last.slope = 0;
}

void TInterpolate::buildSquare(int n, const double* x, const double* y)
{
    double* s = work_.data();
    for (int i = 0; i + 1 < n; ++i)
        s[i] = double((Ext(y[i + 1]) - Ext(y[i])) / (Ext(x[i + 1]) - Ext(x[i])));

    // Record 0 carries no parabola and is never evaluated.
    square_[0] = SquareRecord { x[0], y[0], 0, 0 };
    for (int k = 1; k + 1 < n; ++k) {
        SquareRecord& r = square_[size_t(k)];
        r.x = x[k];
        r.y = y[k];
        r.c = double((Ext(s[k]) - Ext(s[k - 1])) / (Ext(x[k + 1]) - Ext(x[k - 1])));
        r.b = double(Ext(s[k]) - (Ext(x[k + 1]) - Ext(x[k])) * Ext(r.c));
    }
    // With two points the evaluation lands on this record: give it the line.
    square_[size_t(n - 1)] = SquareRecord { x[n - 1], y[n - 1], 0, n == 2 ? s[0] : 0.0 };
}

void TInterpolate::buildSpline(int n, const double* x, const double* y)
{
    const size_t stride = size_t(capacity_);
    double* h = work_.data();
    double* p = h + stride;
    double* r = p + stride;
    double* sigma = r + stride;

    for (int i = 0; i + 1 < n; ++i)
        h[i] = double(Ext(x[i + 1]) - Ext(x[i]));
    auto slope = [&](int i) { return (Ext(y[i + 1]) - Ext(y[i])) / Ext(h[i]); };

    sigma[0] = startValue_;
    sigma[n - 1] = endValue_;
    // Two points leave no unknown: the natural spline is the straight line.
    if (n >= 3) {
        p[0] = double(0.5L / (Ext(h[0]) + Ext(h[1])));
        r[0] = double(slope(1) - slope(0));
        for (int i = 1; i <= n - 3; ++i) {
            p[i] = double(1.0L / (2 * (Ext(h[i + 1]) + Ext(h[i])) - Ext(h[i]) * Ext(h[i]) * Ext(p[i - 1])));
            r[i] = double((slope(i + 1) - slope(i)) - Ext(r[i - 1]) * Ext(h[i]) * Ext(p[i - 1]));
        }
        sigma[n - 2] = double(Ext(r[n - 3]) * Ext(p[n - 3]));
        for (int i = n - 3; i >= 1; --i)
            sigma[i] = double((Ext(r[i - 1]) - Ext(h[i]) * Ext(sigma[i + 1])) * Ext(p[i - 1]));
    }

    for (int i = 0; i + 1 < n; ++i) {
        const double q = double(1.0L / Ext(h[i]));
        SplineRecord& rec = spline_[size_t(i)];
        rec.x = x[i];
        rec.y = y[i];
        rec.b = double(
            (Ext(y[i + 1]) - Ext(y[i])) * Ext(q) - (2 * Ext(sigma[i]) + Ext(sigma[i + 1])) * Ext(h[i]));
        rec.c = float(3 * Ext(sigma[i]));
        rec.d = float((Ext(sigma[i + 1]) - Ext(sigma[i])) * Ext(q));
    }
    spline_[size_t(n - 1)] = SplineRecord { x[n - 1], y[n - 1], 0, 0, 0 };
    startValue_ = 0;
    endValue_ = 0;
}

int TInterpolate::segmentIndex(long double x) const
{
    if (interval_ == TInterval::Regular) {
        Ext v = std::nearbyint(x * Ext(scale_) + Ext(offset_));
        // Far outside the table the clamp below decides anyway; keep the
        // conversion to int defined.
        v = std::clamp(v, Ext(-4), Ext(count_) + 4);
        return int(v) + (method_ == TMethod::Square ? 2 : 1);
    }
    int lo = 1;
    switch (method_) {
    case TMethod::Linear:
        lo = bisect(linear_, count_, x, descending_);
        break;
    case TMethod::Square:
        lo = bisect(square_, count_, x, descending_) + 1;
        break;
    case TMethod::CSpline:
        lo = bisect(spline_, count_, x, descending_);
        break;
    }
    return lo;
}

long double TInterpolate::Evaluate(double x) const
{
    constexpr Ext kNaN = std::numeric_limits<Ext>::quiet_NaN();
    const size_t count = size_t(count_);
    bool tables = false;
    switch (method_) {
    case TMethod::Linear:
        tables = linear_.size() >= count;
        break;
    case TMethod::Square:
        tables = square_.size() >= count;
        break;
    case TMethod::CSpline:
        tables = spline_.size() >= count;
        break;
    }
    if (!prepared_ || !tables || count_ < 2 || std::isnan(x))
        return kNaN;

    int k = std::min(segmentIndex(x), count_ - 1);
    k = std::max(k, method_ == TMethod::Square ? 2 : 1);
    const size_t at = size_t(k - 1);
    switch (method_) {
    case TMethod::Linear: {
        const LinearEntry& e = linear_[at];
        const Ext t = Ext(x) - Ext(e.x);
        return Ext(e.y) + t * Ext(e.slope);
    }
    case TMethod::Square: {
        const SquareRecord& r = square_[at];
        const Ext t = Ext(x) - Ext(r.x);
        return Ext(r.y) + Ext(r.b) * t + Ext(r.c) * t * t;
    }
    case TMethod::CSpline: {
        const SplineRecord& r = spline_[at];
        const Ext t = Ext(x) - Ext(r.x);
        return Ext(r.y) + t * (Ext(r.b) + t * (Ext(r.c) + t * Ext(r.d)));
    }
    }
    return kNaN;
}

} // namespace cvg
