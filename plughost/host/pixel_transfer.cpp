// advanceState and progress: pixels moved between the module's row buffer
// and the document, as the block describes the exchange.
#include "plughost/host/host_state.h"

namespace plughost {

void ZENTROW_CALL Callbacks::Progress(int32_t done, int32_t total) {
  H().progress_.emplace_back(done, total);
  S().Trace("progress", [&] { return Json{{"done", done}, {"total", total}}; });
  if (H().onProgress) H().onProgress(done, total);
}
int16_t ZENTROW_CALL Callbacks::AdvanceState() {
  Host& host = H();
  const FormatBlock& b = host.block_;
  Exchange x{b.rectTop, b.rectLeft, b.rectBottom, b.rectRight, b.planeLow, b.planeHigh,
             b.columnStep, b.rowStep, b.planeStep, {b.channelMap0, b.channelMap1, b.channelMap2},
             b.planes, b.data == nullptr, 0};
  x.answer = Transfer(host, x);
  host.exchanges_.push_back(x);
  S().Trace("advanceState", [&] {
    return Json{{"direction", host.reading_ ? "read" : "write"},
                {"rect", {x.rectTop, x.rectLeft, x.rectBottom, x.rectRight}},
                {"planes", {x.planeLow, x.planeHigh}},
                {"columnStep", x.columnStep},
                {"rowStep", x.rowStep},
                {"planeStep", x.planeStep},
                {"channelMap", {x.channelMap[0], x.channelMap[1], x.channelMap[2]}},
                {"data", !x.dataWasNull},
                {"answer", x.answer}};
  });
  return x.answer;
}

// Moves the described pixels between the module's buffer and the document.
int16_t Callbacks::Transfer(Host& host, const Exchange& x) {
  int16_t code = 0;
  if (S().faults.AdvanceFails(x.rectTop, &code)) return code;
  const int rows = x.rectBottom - x.rectTop, columns = x.rectRight - x.rectLeft;
  const int channels = x.planeHigh - x.planeLow + 1;
  if (rows <= 0 || columns <= 0 || channels <= 0) return 0;
  if (x.rowStep < 0 || x.columnStep < 0 || x.planeStep < 0) {
    S().Violation("negative step in an exchange");
    return kHostError;
  }
  const int64_t extent = int64_t{rows - 1} * x.rowStep + int64_t{columns - 1} * x.columnStep +
                         int64_t{channels - 1} * x.planeStep + 1;
  auto* data = static_cast<uint8_t*>(host.block_.data);
  if (data == nullptr || !S().InsideBuffer(data, extent)) {
    S().Violation("exchange outside the module's buffer");
    return kHostError;
  }
  Image& doc = host.document_;
  if (host.reading_ && doc.pixels.empty()) {
    doc = Image::Blank(host.block_.rows, host.block_.columns, host.block_.planes);
  }
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      for (int k = 0; k < channels; ++k) {
        uint8_t* byte = data + int64_t{r} * x.rowStep + int64_t{c} * x.columnStep +
                        int64_t{k} * x.planeStep;
        const int row = x.rectTop + r, column = x.rectLeft + c;
        const int channel = k < 3 ? x.channelMap[k] : x.planeLow + k;
        const bool inside = row >= 0 && row < doc.rows && column >= 0 && column < doc.columns &&
                            channel >= 0 && channel < doc.planes;
        if (host.reading_) {
          if (inside) doc.At(row, column, channel) = *byte;
        } else {
          *byte = inside ? doc.At(row, column, channel) : 0;
        }
      }
    }
  }
  return 0;
}

}  // namespace plughost
