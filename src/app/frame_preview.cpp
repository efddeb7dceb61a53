#include "app/frame_preview.h"

#include <algorithm>
#include <cstdint>
#include <exception>

#include "frames/frame_ring.h"

namespace {

// For each of fit's pixels along one side, the first and one past the last of the frame's
// pixels it covers: the frame's pixels shared out when it is the larger, the one under the
// pixel when it is the smaller.
std::vector<std::pair<int, int>> Spans(int frame, int fit) {
  std::vector<std::pair<int, int>> spans(static_cast<std::size_t>(fit));
  for (int i = 0; i < fit; ++i) {
    const int first = static_cast<int>(static_cast<std::int64_t>(i) * frame / fit);
    const int end = static_cast<int>(static_cast<std::int64_t>(i + 1) * frame / fit);
    spans[static_cast<std::size_t>(i)] = {first, std::max(end, first + 1)};
  }
  return spans;
}

PreviewPicture Blank(FrameSize size) {
  return {size.width, size.height,
          std::vector<unsigned char>(static_cast<std::size_t>(size.width) * size.height * 3)};
}

}  // namespace

FrameSize FitInside(FrameSize frame, FrameSize box) {
  if (frame.width <= 0 || frame.height <= 0 || box.width <= 0 || box.height <= 0) return {};
  const std::int64_t w = frame.width;
  const std::int64_t h = frame.height;
  // The frame is the taller of the two shapes when w / h <= box.width / box.height.
  if (w * box.height <= box.width * h) {
    const std::int64_t width = (w * box.height + h / 2) / h;
    return {static_cast<int>(std::clamp<std::int64_t>(width, 1, box.width)), box.height};
  }
  const std::int64_t height = (h * box.width + w / 2) / w;
  return {box.width, static_cast<int>(std::clamp<std::int64_t>(height, 1, box.height))};
}

PreviewPictures MakePreview(const unsigned char* bgra, FrameSize size, FrameSize fit,
                            const PreviewStyle& style, const std::function<bool()>& stop) {
  if (!bgra || size.width <= 0 || size.height <= 0 || fit.width <= 0 || fit.height <= 0) {
    return {};
  }
  const std::vector<std::pair<int, int>> columns = Spans(size.width, fit.width);
  const std::vector<std::pair<int, int>> rows = Spans(size.height, fit.height);
  const int cell = std::max(style.cell, 1);
  PreviewPictures pictures{Blank(fit), Blank(fit)};
  unsigned char* colour = pictures.colour.rgb.data();
  unsigned char* matte = pictures.matte.rgb.data();

  // Per pixel of the small picture's row: the colour weighted by alpha (in 255ths), and alpha.
  struct Sum {
    std::uint64_t b, g, r, a;
  };
  std::vector<Sum> sums(static_cast<std::size_t>(fit.width));
  const std::size_t stride = static_cast<std::size_t>(size.width) * 4;
  for (int y = 0; y < fit.height; ++y) {
    if (stop && stop()) return {};
    std::fill(sums.begin(), sums.end(), Sum{0, 0, 0, 0});
    const auto [top, bottom] = rows[static_cast<std::size_t>(y)];
    for (int sy = top; sy < bottom; ++sy) {
      // The frame buffer's rows run bottom-up.
      const unsigned char* row = bgra + static_cast<std::size_t>(size.height - 1 - sy) * stride;
      for (int x = 0; x < fit.width; ++x) {
        Sum& sum = sums[static_cast<std::size_t>(x)];
        const auto [left, right] = columns[static_cast<std::size_t>(x)];
        for (const unsigned char* p = row + static_cast<std::size_t>(left) * 4;
             p < row + static_cast<std::size_t>(right) * 4; p += 4) {
          const unsigned weight = style.premultiplied ? 255U : p[3];
          sum.b += p[0] * weight;
          sum.g += p[1] * weight;
          sum.r += p[2] * weight;
          sum.a += p[3];
        }
      }
    }
    for (int x = 0; x < fit.width; ++x) {
      const Sum& sum = sums[static_cast<std::size_t>(x)];
      const auto [left, right] = columns[static_cast<std::size_t>(x)];
      const std::uint64_t count = static_cast<std::uint64_t>(right - left) * (bottom - top);
      // The mean colour over the checker: colour * alpha + checker * (1 - alpha), rounded; a
      // premultiplied colour brighter than its alpha allows is held at white.
      const std::uint64_t full = 255 * count;
      const std::uint64_t checker = ((x / cell + y / cell) % 2 == 0) ? kCheckerLight : kCheckerDark;
      const std::uint64_t under = checker * (full - std::min(sum.a, full)) + full / 2;
      const auto over = [&](std::uint64_t c) {
        return static_cast<unsigned char>(std::min<std::uint64_t>((c + under) / full, 255));
      };
      unsigned char* out = colour + (static_cast<std::size_t>(y) * fit.width + x) * 3;
      out[0] = over(sum.r);
      out[1] = over(sum.g);
      out[2] = over(sum.b);
      const auto grey = static_cast<unsigned char>((sum.a + count / 2) / count);
      std::fill_n(matte + (out - colour), 3, grey);
    }
  }
  return pictures;
}

PreviewReader::PreviewReader(std::function<void(PreviewAnswer)> deliver)
    : m_deliver(std::move(deliver)),
      m_thread([this](unsigned long long id, PreviewRequest& request,
                      const std::function<bool()>& givenUp) { Make(id, request, givenUp); }) {}

unsigned long long PreviewReader::Request(PreviewRequest request) {
  return m_thread.Ask(std::move(request));
}

void PreviewReader::Cancel() { m_thread.Cancel(); }

void PreviewReader::Make(unsigned long long id, const PreviewRequest& request,
                         const std::function<bool()>& givenUp) {
  PreviewAnswer answer;
  answer.id = id;
  if (!request.firstFile.empty() && request.half.width > 0 && request.half.height > 0) {
    try {
      FrameBuffer frame;  // the one frame held, gone before the answer is handed over
      const FrameRead read = ReadFrameInto(request.firstFile, false, frame, request.look);
      const FrameSize size = read.size;
      if (read.status == FrameRead::Status::kOk && size.width > 0 && size.height > 0 &&
          frame.bytes() / 4 / static_cast<std::size_t>(size.width) >=
              static_cast<std::size_t>(size.height)) {
        const PreviewStyle style{request.look.fill == Fill::kPremultiplied, request.cell};
        answer.pictures =
            MakePreview(frame.data(), size, FitInside(size, request.half), style, givenUp);
      }
    } catch (const std::exception&) {
      answer.pictures = {};  // no memory for the frame or its pictures: an empty preview
    }
  }
  if (givenUp()) return;
  m_deliver(std::move(answer));
}
