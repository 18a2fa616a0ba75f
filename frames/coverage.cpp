// Signed-area accumulation: every edge leaves, in each cell it crosses, the
// area between it and the cell's right side, signed by its direction; a
// running sum along each row then gives every pixel its covered share.
#include "coverage.h"

#include <algorithm>
#include <cmath>

namespace tvf {

Coverage::Coverage(cv::Size size)
    : size_(size), stride_(size.width + 2),
      acc_(static_cast<std::size_t>(stride_) * static_cast<std::size_t>(size.height), 0.0F) {}

void Coverage::add(const std::vector<cv::Point2d> &polygon) {
    // Pixel i covers i - 0.5 to i + 0.5; the cells here start at whole numbers.
    const cv::Point2d half(0.5, 0.5);
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        edge(polygon[i] + half, polygon[(i + 1) % polygon.size()] + half);
    }
}

void Coverage::edge(cv::Point2d from, cv::Point2d to) {
    if (from.y == to.y) {
        return;
    }
    const double sign = from.y < to.y ? 1.0 : -1.0;
    if (from.y > to.y) {
        std::swap(from, to);
    }
    const double slope = (to.x - from.x) / (to.y - from.y);
    const double right = size_.width;
    const int first = std::max(0, static_cast<int>(std::floor(from.y)));
    const int last = std::min(size_.height, static_cast<int>(std::ceil(to.y)));
    for (int row = first; row < last; ++row) {
        const double top = std::max<double>(row, from.y);
        const double bottom = std::min<double>(row + 1, to.y);
        if (bottom <= top) {
            continue;
        }
        // Beyond the image's sides an edge covers the first or last column
        // whole; clamping keeps the running sums right.
        const double xa = std::clamp(from.x + (top - from.y) * slope, 0.0, right);
        const double xb = std::clamp(from.x + (bottom - from.y) * slope, 0.0, right);
        const double d = sign * (bottom - top);
        float *line = acc_.data() + static_cast<std::ptrdiff_t>(row) * stride_;
        const double x0 = std::min(xa, xb);
        const double x1 = std::max(xa, xb);
        const int c0 = static_cast<int>(std::floor(x0));
        const int c1 = static_cast<int>(std::ceil(x1));
        if (c1 <= c0 + 1) {
            // Within one cell: the share right of the segment's middle.
            const double mid = 0.5 * (xa + xb) - c0;
            line[c0] += static_cast<float>(d * (1 - mid));
            line[c0 + 1] += static_cast<float>(d * mid);
            continue;
        }
        // Across cells: the area right of the segment, cell by cell.
        const double s = 1.0 / (x1 - x0);
        const double f0 = x0 - c0;
        const double a0 = 0.5 * s * (1 - f0) * (1 - f0);
        const double f1 = x1 - c1 + 1;
        const double am = 0.5 * s * f1 * f1;
        line[c0] += static_cast<float>(d * a0);
        if (c1 == c0 + 2) {
            line[c0 + 1] += static_cast<float>(d * (1 - a0 - am));
        } else {
            const double a1 = s * (1.5 - f0);
            line[c0 + 1] += static_cast<float>(d * (a1 - a0));
            for (int c = c0 + 2; c < c1 - 1; ++c) {
                line[c] += static_cast<float>(d * s);
            }
            const double a2 = a1 + (c1 - c0 - 3) * s;
            line[c1 - 1] += static_cast<float>(d * (1 - a2 - am));
        }
        line[c1] += static_cast<float>(d * am);
    }
}

cv::Mat Coverage::resolve() const {
    cv::Mat out(size_, CV_32F);
    for (int row = 0; row < size_.height; ++row) {
        const float *line = acc_.data() + static_cast<std::ptrdiff_t>(row) * stride_;
        auto *dst = out.ptr<float>(row);
        double sum = 0;
        for (int c = 0; c < size_.width; ++c) {
            sum += line[c];
            dst[c] = static_cast<float>(std::min(1.0, std::abs(sum)));
        }
    }
    return out;
}

} // namespace tvf
