#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace cvg {

enum class TMethod : int32_t { Linear = 0, Square = 1, CSpline = 2 };

// Irregular: segments are found by bisection; Regular: the abscissas are
// equally spaced and the segment index is computed directly.
enum class TInterval : int32_t { Irregular = 0, Regular = 1 };

// Turns n points (x, y) into a piecewise function (straight segments, a
// parabola per segment, or a natural cubic spline) and evaluates it at any x,
// extrapolating with the first or last piece. Arithmetic runs in extended
// precision; the linear table and the spline's c and d are kept as 4-byte
// floats, so results are those of single-precision coefficients.
//
// The tables are allocated at the first preparation, grown (never shrunk)
// when a later one has more points, and discarded by setMethod().
class TInterpolate {
public:
    // One entry of the linear table.
    struct LinearEntry {
        float x = 0;
        float y = 0;
        float slope = 0;
    };
    // Parabola through points k-1, k, k+1 written around point k.
    struct alignas(32) SquareRecord {
        double x = 0;
        double y = 0;
        double c = 0;
        double b = 0;
    };
    // Cubic of segment i: y + t (b + t (c + t d)), t = x - this x.
    struct alignas(32) SplineRecord {
        double x = 0;
        double y = 0;
        double b = 0;
        float c = 0;
        float d = 0;
    };

    TInterpolate() = default;

    TMethod Method() const { return method_; }
    // Discards the tables (capacity 0) and stores the method; Prepared stays.
    void setMethod(TMethod method);
    TInterval Interval() const { return interval_; }
    void setInterval(TInterval interval) { interval_ = interval; }

    // Builds the tables for the current method from n points whose abscissas
    // are strictly monotonic. A floating-point error (division by zero,
    // overflow, invalid operation) leaves the engine unprepared with the
    // error's text in ErrorMessage(), fires OnFPError and keeps Count() and
    // the other values of the last successful preparation. Returns Prepared().
    bool Prepare(int n, const double* x, const double* y);

    // The value at x. An engine that is not prepared, or whose tables were
    // discarded by setMethod(), gives NaN instead of reading stale tables.
    long double Evaluate(double x) const;

    int Count() const { return count_; }
    double X0() const { return x0_; }
    double Scale() const { return scale_; }
    double Offset() const { return offset_; }
    bool Descending() const { return descending_; }
    bool Prepared() const { return prepared_; }
    const QString& ErrorMessage() const { return errorMessage_; }
    // Number of points the current tables were allocated for.
    int Capacity() const { return capacity_; }

    const std::vector<LinearEntry>& LinearTable() const { return linear_; }
    const std::vector<SquareRecord>& SquareTable() const { return square_; }
    const std::vector<SplineRecord>& SegmentTable() const { return spline_; }

    // Fired with this engine when a preparation meets a floating-point error.
    std::function<void(TInterpolate&)> OnFPError;

private:
    void releaseTables();
    void allocateTables(int n);
    void buildLinear(int n, const double* x, const double* y);
    void buildSquare(int n, const double* x, const double* y);
    void buildSpline(int n, const double* x, const double* y);
    void reportError(const QString& text);
    int segmentIndex(long double x) const;

    int count_ = 0;
    double x0_ = 0;
    double scale_ = 0;
    double offset_ = 0;
    std::vector<LinearEntry> linear_;
    std::vector<SquareRecord> square_;
    std::vector<SplineRecord> spline_;
    int capacity_ = 0;
    // Square: segment slopes; spline: h, p, r and sigma, Count entries each.
    std::vector<double> work_;
    // Sigma at the first and the last point; always 0, so every spline is
    // natural.
    double startValue_ = 0;
    double endValue_ = 0;
    TMethod method_ = TMethod::Linear;
    TInterval interval_ = TInterval::Irregular;
    bool descending_ = false;
    bool prepared_ = false;
    QString errorMessage_;
};

} // namespace cvg
