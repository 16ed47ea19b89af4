#pragma once
// TDecompressStream: a read-only stream that delivers the decoded bytes of the deflate (or
// deflate64) data standing at its source's position. Refills are deciphered in place when the
// record's DecryptInput is set; when the stream goes, the input it read ahead but did not use is
// given back, so the source then stands just after the last compressed byte consumed.

#include <cstdint>
#include <functional>

#include "archive/base/CustomStream.h"
#include "archive/codec/InflateResult.h"

namespace ruvevid {

class TDecompressStream : public TCustomStream {
 public:
  // Deciphers Count bytes in place with the extraction run's cipher.
  using TDecipher = std::function<void(std::uint8_t* Buffer, std::int32_t Count)>;

  // WindowBits < 0: raw deflate data with -WindowBits window bits (the extractor passes -15);
  // > 0: the wrapped form. InitResult() tells whether the decoder could be set up. With Memory,
  // the input buffer and the decoder's window, tables and state come from it and go back to it.
  TDecompressStream(TStream32& Source, std::int8_t WindowBits,
                    TInflateVariant Variant = TInflateVariant::ivDeflate,
                    TInflateBlockCache* Memory = nullptr);
  ~TDecompressStream() override;

  int InitResult() const { return FInitResult; }
  TDecipher Decipher;

  // Fills Buffer with Count decoded bytes and returns Count, or returns a negative result code of
  // the decoder. At the end of the data fewer bytes may have been delivered: the record's
  // AvailOut (and TotalOut) tell how many. Count is kept at most kInputBufferSize.
  std::int32_t Read(void* Buffer, std::int32_t Count) override;
  // Read-only: writes nothing and returns -1.
  std::int32_t Write(const void* Buffer, std::int32_t Count) override;
  // Offset 0 from the beginning restarts decoding from the source's position 0; forward requests
  // skip decoded bytes; anything else does nothing. Returns the total output. An Offset outside
  // the signed 32-bit range raises std::out_of_range ("Range check error").
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
  // Does nothing.
  void SetSize(std::int64_t NewSize) override;

  // Decodes on without output space to take in what ends the data (the last end-of-block code,
  // empty blocks) once the caller has read every byte it expected, so that the source is given
  // back right after the data. Takes in at most 64 more bytes. True when the end was reached.
  bool Finish();

  // The decoder operations on the inline record.
  virtual int DecoderInit(std::int8_t WindowBits);
  virtual int DecoderRun();
  virtual int DecoderReset();
  virtual int DecoderFree();

 private:
  // Reads up to Count bytes of the source into the input buffer when it is empty.
  void Refill(std::int32_t Count);

  TInflateVariant FVariant;
  int FInitResult = kInflateOk;
};

}  // namespace ruvevid
