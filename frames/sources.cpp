// Camera sources: image files in order, video files (OpenCV), and GenICam
// cameras through Aravis. Each hands out 8-bit grey frames it owns until the
// next one.
#include "internal.h"

#include <arv.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <fstream>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr guint64 kTimeoutUs = 2000000;
constexpr int kBuffers = 4;

class Source {
  public:
    virtual ~Source() = default;
    // TVF_OK and the next frame in *grey, or a TVF_E_* code with the message
    // set.
    virtual int next(cv::Mat *grey) = 0;
};

class Files : public Source {
  public:
    explicit Files(std::vector<std::string> paths) : paths_(std::move(paths)) {}
    int next(cv::Mat *grey) override {
        if (index_ >= paths_.size()) {
            return tvf::fail(TVF_E_END, "tvf_source_next: no more files");
        }
        const std::string &path = paths_[index_++];
        *grey = cv::imread(path, cv::IMREAD_GRAYSCALE);
        if (grey->empty()) {
            return tvf::fail(TVF_E_IO,
                             "tvf_source_next: file '" + path + "' cannot be read as an image");
        }
        return TVF_OK;
    }

  private:
    std::vector<std::string> paths_;
    std::size_t index_ = 0;
};

class Video : public Source {
  public:
    // A file that is not there is said so first, before OpenCV's backends
    // each try it and log their own complaints.
    bool open(const char *path) {
        return std::ifstream(path).good() &&
               (capture_.open(path, cv::CAP_FFMPEG) || capture_.open(path, cv::CAP_ANY));
    }
    int next(cv::Mat *grey) override {
        if (!capture_.read(frame_) || frame_.empty()) {
            return tvf::fail(TVF_E_END, "tvf_source_next: the video has no more frames");
        }
        if (frame_.channels() == 1) {
            frame_.copyTo(*grey);
        } else {
            cv::cvtColor(frame_, *grey,
                         frame_.channels() == 4 ? cv::COLOR_BGRA2GRAY : cv::COLOR_BGR2GRAY);
        }
        return TVF_OK;
    }

  private:
    cv::VideoCapture capture_;
    cv::Mat frame_;
};

// Why an Aravis call failed, and the error freed.
std::string reason(GError *&error) {
    std::string text = error != nullptr ? error->message : "unknown error";
    g_clear_error(&error);
    return text;
}

class Camera : public Source {
  public:
    ~Camera() override {
        if (camera_ != nullptr) {
            GError *error = nullptr;
            arv_camera_stop_acquisition(camera_, &error);
            g_clear_error(&error);
        }
        if (stream_ != nullptr) {
            g_object_unref(stream_);
        }
        if (camera_ != nullptr) {
            g_object_unref(camera_);
        }
    }

    int open(const char *device, int32_t width, int32_t height) {
        const std::string what = std::string("tvf_source_open_genicam: camera '") +
                                 (device != nullptr ? device : "(first)") + "': ";
        GError *error = nullptr;
        camera_ = arv_camera_new(device, &error);
        if (camera_ == nullptr) {
            return tvf::fail(TVF_E_IO, what + reason(error));
        }
        if (width > 0 && height > 0) {
            arv_camera_set_region(camera_, 0, 0, width, height, &error);
        }
        if (error == nullptr) {
            arv_camera_set_pixel_format(camera_, ARV_PIXEL_FORMAT_MONO_8, &error);
        }
        if (error == nullptr) {
            arv_camera_set_acquisition_mode(camera_, ARV_ACQUISITION_MODE_CONTINUOUS, &error);
        }
        if (error == nullptr) {
            stream_ = arv_camera_create_stream(camera_, nullptr, nullptr, &error);
        }
        const std::size_t payload = error == nullptr ? arv_camera_get_payload(camera_, &error) : 0;
        if (error != nullptr) {
            return tvf::fail(TVF_E_IO, what + reason(error));
        }
        for (int i = 0; i < kBuffers; ++i) {
            arv_stream_push_buffer(stream_, arv_buffer_new(payload, nullptr));
        }
        arv_camera_start_acquisition(camera_, &error);
        return error == nullptr ? TVF_OK : tvf::fail(TVF_E_IO, what + reason(error));
    }

    int next(cv::Mat *grey) override {
        ArvBuffer *buffer = arv_stream_timeout_pop_buffer(stream_, kTimeoutUs);
        if (buffer == nullptr) {
            return tvf::fail(TVF_E_IO, "tvf_source_next: no frame from the camera within 2 s");
        }
        int result = TVF_OK;
        if (arv_buffer_get_status(buffer) != ARV_BUFFER_STATUS_SUCCESS ||
            arv_buffer_get_image_pixel_format(buffer) != ARV_PIXEL_FORMAT_MONO_8) {
            result = tvf::fail(TVF_E_IO, "tvf_source_next: the camera gave an incomplete or "
                                         "non-Mono8 frame");
        } else {
            std::size_t size = 0;
            const void *data = arv_buffer_get_image_data(buffer, &size);
            const int w = arv_buffer_get_image_width(buffer);
            const int h = arv_buffer_get_image_height(buffer);
            if (static_cast<std::size_t>(w) * static_cast<std::size_t>(h) > size) {
                result = tvf::fail(TVF_E_IO, "tvf_source_next: the camera's frame is short");
            } else {
                // Copied: the buffer goes back to the stream at once.
                cv::Mat(h, w, CV_8UC1, const_cast<void *>(data)).copyTo(*grey);
            }
        }
        arv_stream_push_buffer(stream_, buffer);
        return result;
    }

  private:
    ArvCamera *camera_ = nullptr;
    ArvStream *stream_ = nullptr;
};

int refuseNull(const char *function, const char *name, const void *p) {
    return p == nullptr ? tvf::fail(TVF_E_ARG, std::string(function) + ": " + name + " is null")
                        : TVF_OK;
}

} // namespace

struct TVF_Source {
    std::unique_ptr<Source> source;
    cv::Mat frame;
};

namespace {

int hand(std::unique_ptr<Source> source, TVF_Source **out) {
    auto *made = new (std::nothrow) TVF_Source;
    if (made == nullptr) {
        return tvf::fail(TVF_E_NOMEM, "camera source: out of memory");
    }
    made->source = std::move(source);
    *out = made;
    return TVF_OK;
}

} // namespace

extern "C" {

int tvf_source_open_files(const char *const *paths, int32_t count, TVF_Source **out) {
    constexpr const char *kFunction = "tvf_source_open_files";
    if (out == nullptr || paths == nullptr || count < 1) {
        return tvf::fail(TVF_E_ARG, std::string(kFunction) + ": no paths, or out is null");
    }
    std::vector<std::string> copied;
    for (int i = 0; i < count; ++i) {
        if (paths[i] == nullptr) {
            return tvf::fail(TVF_E_ARG,
                             std::string(kFunction) + ": path " + std::to_string(i) + " is null");
        }
        copied.emplace_back(paths[i]);
    }
    return hand(std::make_unique<Files>(std::move(copied)), out);
}

int tvf_source_open_video(const char *path, TVF_Source **out) {
    constexpr const char *kFunction = "tvf_source_open_video";
    int result = refuseNull(kFunction, "out", out);
    if (result == TVF_OK) {
        result = refuseNull(kFunction, "path", path);
    }
    if (result != TVF_OK) {
        return result;
    }
    auto video = std::make_unique<Video>();
    if (!video->open(path)) {
        return tvf::fail(TVF_E_IO,
                         std::string(kFunction) + ": video '" + path + "' cannot be opened");
    }
    return hand(std::move(video), out);
}

int tvf_source_open_genicam(const char *device, int32_t width, int32_t height, TVF_Source **out) {
    const int refused = refuseNull("tvf_source_open_genicam", "out", out);
    if (refused != TVF_OK) {
        return refused;
    }
    auto camera = std::make_unique<Camera>();
    const int result = camera->open(device, width, height);
    return result == TVF_OK ? hand(std::move(camera), out) : result;
}

int tvf_source_next(TVF_Source *source, TVF_Frame *frame) {
    constexpr const char *kFunction = "tvf_source_next";
    int result = refuseNull(kFunction, "source", source);
    if (result == TVF_OK) {
        result = tvf::checkRecord(kFunction, "frame", frame, sizeof(TVF_Frame), false);
    }
    cv::Mat grey;
    if (result == TVF_OK) {
        result = source->source->next(&grey);
    }
    if (result != TVF_OK) {
        return result;
    }
    source->frame = grey;
    TVF_Frame lent{};
    lent.size = sizeof lent;
    lent.width = grey.cols;
    lent.height = grey.rows;
    lent.stride = static_cast<int32_t>(grey.step[0]);
    lent.format = TVF_GRAY8;
    lent.data = grey.data;
    tvf::writeRecord(lent, frame);
    return TVF_OK;
}

int tvf_source_grab(void *user, TVF_Frame *frame) {
    return tvf_source_next(static_cast<TVF_Source *>(user), frame);
}

void tvf_source_close(TVF_Source *source) {
    delete source;
}

} // extern "C"
