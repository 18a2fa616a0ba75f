// Exact area coverage of polygons on the pixel grid: each pixel gets the
// share of its square the polygons cover, so edges keep their sub-pixel
// position. Pixel centres lie at whole coordinates.
#ifndef TAVREL_FRAMES_COVERAGE_H
#define TAVREL_FRAMES_COVERAGE_H

#include <opencv2/core.hpp>

#include <vector>

namespace tvf {

class Coverage {
  public:
    explicit Coverage(cv::Size size);
    // Adds a closed polygon. Windings add up: a hole is a polygon of the
    // opposite winding inside another.
    void add(const std::vector<cv::Point2d> &polygon);
    // The coverage of every pixel, 0..1 (overlaps count once), CV_32F.
    cv::Mat resolve() const;

  private:
    void edge(cv::Point2d from, cv::Point2d to);
    cv::Size size_;
    int stride_;
    std::vector<float> acc_;
};

} // namespace tvf

#endif
