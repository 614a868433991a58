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
namespace {

constexpr int kMostChannels = 64;

// The document channel each of the exchange's channels is.
int ChannelOf(const Exchange& x, int k) { return k < 3 ? x.channelMap[k] : x.planeLow + k; }

// Whether every pixel and channel of the exchange lies inside the document,
// so that no byte of it needs a check of its own.
bool AllInside(const Image& doc, const Exchange& x, int rows, int columns, int channels) {
  if (channels > kMostChannels || x.rectTop < 0 || x.rectLeft < 0 ||
      x.rectTop + rows > doc.rows || x.rectLeft + columns > doc.columns)
    return false;
  for (int k = 0; k < channels; ++k) {
    if (ChannelOf(x, k) < 0 || ChannelOf(x, k) >= doc.planes) return false;
  }
  return true;
}

// The exchange when it lies wholly inside the document: row by row, each
// channel's place worked out once.
void TransferInside(Image& doc, bool reading, const Exchange& x, uint8_t* data, int rows,
                    int columns, int channels) {
  size_t channel[kMostChannels];
  for (int k = 0; k < channels; ++k) channel[k] = size_t(ChannelOf(x, k));
  const size_t planes = size_t(doc.planes);
  for (int r = 0; r < rows; ++r) {
    uint8_t* buffer = data + int64_t{r} * x.rowStep;
    uint8_t* document = &doc.pixels[doc.Offset(x.rectTop + r, x.rectLeft, 0)];
    if (channels == 3 && x.planeStep == 1) {  // RGB side by side, the usual exchange
      const size_t c0 = channel[0], c1 = channel[1], c2 = channel[2];
      for (int c = 0; c < columns; ++c, buffer += x.columnStep, document += planes) {
        uint8_t* to = reading ? document : buffer;
        const uint8_t* from = reading ? buffer : document;
        const size_t t0 = reading ? c0 : 0, t1 = reading ? c1 : 1, t2 = reading ? c2 : 2;
        const size_t f0 = reading ? 0 : c0, f1 = reading ? 1 : c1, f2 = reading ? 2 : c2;
        to[t0] = from[f0], to[t1] = from[f1], to[t2] = from[f2];
      }
      continue;
    }
    for (int c = 0; c < columns; ++c, buffer += x.columnStep, document += planes) {
      if (reading) {
        for (int k = 0; k < channels; ++k) document[channel[k]] = buffer[int64_t{k} * x.planeStep];
      } else {
        for (int k = 0; k < channels; ++k) buffer[int64_t{k} * x.planeStep] = document[channel[k]];
      }
    }
  }
}

// The exchange byte by byte, each checked against the document: bytes
// outside it read as black and are written nowhere.
void TransferEdges(Image& doc, bool reading, const Exchange& x, uint8_t* data, int rows,
                   int columns, int channels) {
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      for (int k = 0; k < channels; ++k) {
        uint8_t* byte = data + int64_t{r} * x.rowStep + int64_t{c} * x.columnStep +
                        int64_t{k} * x.planeStep;
        const int row = x.rectTop + r, column = x.rectLeft + c;
        const int channel = ChannelOf(x, k);
        const bool inside = row >= 0 && row < doc.rows && column >= 0 && column < doc.columns &&
                            channel >= 0 && channel < doc.planes;
        if (reading) {
          if (inside) doc.At(row, column, channel) = *byte;
        } else {
          *byte = inside ? doc.At(row, column, channel) : 0;
        }
      }
    }
  }
}

}  // namespace

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
  if (AllInside(doc, x, rows, columns, channels))
    TransferInside(doc, host.reading_, x, data, rows, columns, channels);
  else
    TransferEdges(doc, host.reading_, x, data, rows, columns, channels);
  return 0;
}

}  // namespace plughost
