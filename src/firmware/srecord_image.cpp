#include "firmware/srecord_image.h"

#include <cstring>
#include <memory>
#include <string>

#include "platform/file_ops.h"
#include "platform/text_numbers.h"

namespace {
// The base address of each page's window. Page 2 is the window at 0xC000, page 3 the one at
// 0x8000.
constexpr int64_t kPageBase[CSRecordImage::kPageCount] = {0x0000,  0x4000,  0xC000,  0x8000,
                                                          0x18000, 0x28000, 0x38000, 0x48000};

// One character of a hex pair by the bootloader's lenient rule: its code, plus 9 from ':' on.
unsigned HexValue(char c) {
  unsigned v = static_cast<unsigned char>(c);
  if (c >= ':') v += 9;
  return v;
}

// A hex pair by the lenient rule: upper- and lower-case digits read correctly, other
// characters are not refused.
unsigned HexPair(const char* p) { return (HexValue(p[0]) * 16 + (HexValue(p[1]) & 0x0F)) & 0xFF; }

std::string ErrorString(int number) {
  char text[100];
  CSRecordImage::ErrorText(number, text);
  return text;
}

// Reads the file up to its end record as a load would, every reply taken for "OK". False, with
// the line and its fault in check, on a line whose loss would leave a hole in the program.
bool ReadAsLoad(CSRecordImage& image, ProgramFileCheck& check) {
  char buf[CSRecordImage::kPieceChars + 8];
  TextSpan buffer(buf);
  for (;;) {
    buffer.Assign("OK");
    const int lostBefore = image.dataLinesLost;
    const int r = image.NextRecord(buffer);
    if (r == CSRecordImage::kFinished) return true;
    if (r != CSRecordImage::kSend && image.atEnd && image.line.empty()) {
      // The file ended without an end record: the fault lies after its last line.
      check.line = image.fileLine + 1;
      check.text = CSRecordImage::kNoEndRecordText;
      return false;
    }
    if (image.dataLinesLost > lostBefore) {
      check.line = image.fileLine;
      check.error = r;
      if (r != CSRecordImage::kSend) {
        check.text = ErrorString(r);
      } else {
        check.text =
            image.line.c_str()[1] == '0' ? CSRecordImage::kHeaderAmongDataText : CSRecordImage::kEndRecordWithDataText;
      }
      return false;
    }
    if (r != CSRecordImage::kSend) ++check.questions;  // the load asks, and going on loses nothing
  }
}
}  // namespace

CSRecordImage::CSRecordImage() { std::memset(pages, 0xFF, sizeof pages); }

CSRecordImage::~CSRecordImage() {
  if (file_) std::fclose(file_);
}

int CSRecordImage::ReadPiece(char (&piece)[kPieceChars + 1]) {
  int n = 0;
  while (n < kPieceChars) {
    int c = std::getc(file_);
    if (c == EOF) break;
    if (c == '\r') {
      // Text mode: CR LF is one line end.
      int d = std::getc(file_);
      if (d == '\n') c = '\n';
      else if (d != EOF) std::ungetc(d, file_);
    }
    piece[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  piece[n] = '\0';
  pieceEndedLine_ = n == 0 || piece[n - 1] == '\n';
  return n;
}

bool CSRecordImage::Open() {
  recordsRead = 0;
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
    isOpen = false;
  }
  if (path.empty()) return false;
  file_ = file_ops::OpenStream(file_ops::PathFromUtf8(path.view()), "rb");
  if (!file_) return false;
  lineCount = 0;
  char piece[kPieceChars + 1];
  while (ReadPiece(piece)) ++lineCount;
  if (std::fseek(file_, 0, SEEK_SET) != 0) {
    std::fclose(file_);
    file_ = nullptr;
    lineCount = 0;
    return false;
  }
  std::clearerr(file_);
  std::memset(pageUsed, 0, sizeof pageUsed);
  std::memset(pages, 0xFF, sizeof pages);
  atEnd = false;
  isOpen = true;
  line.Clear();
  lastRecord.Clear();
  trailerStep = 0;
  silentRecords = 0;
  fileLine = 0;
  dataRecords = dataAcknowledged = dataLinesLost = 0;
  pendingData_ = false;
  rawLength_ = 0;
  pieceEndedLine_ = true;
  return true;
}

void CSRecordImage::Close() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  isOpen = false;
  path.Clear();
  line.Clear();
  lineCount = 0;
  recordsRead = 0;
  trailerStep = 0;
  silentRecords = 0;
  fileLine = 0;
  dataRecords = dataAcknowledged = dataLinesLost = 0;
  pendingData_ = false;
  rawLength_ = 0;
  pieceEndedLine_ = true;
}

int CSRecordImage::JudgeReply(TextSpan buffer) {
  if (silentRecords >= kSilentLimit) {
    // Nothing at all came back for several records in a row: the unit has gone quiet.
    silentRecords = 0;
    buffer.Assign(lastRecord.view());
    return kUnknownReply;
  }
  const char* reply = buffer.c_str() ? buffer.c_str() : "";
  int number = 0;
  if (std::strlen(reply) > 3 && !std::strstr(reply, "OK")) {
    const char* digit = reply;
    while (*digit && !textnum::IsDigit(*digit)) ++digit;
    if (!*digit) return kUnknownReply;  // the buffer keeps the reply
    number = *digit - '0';
  }
  if (number == 0) {
    if (pendingData_) ++dataAcknowledged;
    pendingData_ = false;
    return 0;
  }
  buffer.Assign(lastRecord.view());  // the reply is overwritten here
  return number;
}

int CSRecordImage::NextRecord(TextSpan buffer) {
  if (!isOpen) return kNoFile;
  if (int judged = JudgeReply(buffer)) return judged;

  bool fresh = false;  // a line was read from the file just now
  if (!atEnd) {
    line.Clear();
    rawLength_ = 0;
    char piece[kPieceChars + 1];
    const bool newLine = pieceEndedLine_;
    const int length = ReadPiece(piece);
    if (length == 0) {
      atEnd = true;
    } else {
      fresh = true;
      ++recordsRead;
      if (newLine) ++fileLine;
      std::memcpy(raw_, piece, sizeof raw_);
      rawLength_ = length;
      // The line ends at its first control character (bytes above 127 count as such), which
      // drops the line end.
      char* p = piece;
      while (*p && static_cast<unsigned char>(*p) >= 32 && static_cast<unsigned char>(*p) <= 127) ++p;
      *p = '\0';
      line.Assign(piece);
    }
  }
  if (atEnd && trailerStep > 8) return kFinished;

  const int r = HandOut(buffer);
  if (fresh) {
    if (r == kSend && !atEnd && (line.c_str()[1] == '1' || line.c_str()[1] == '2')) {
      ++dataRecords;
      pendingData_ = true;
    } else if (LineHoldsProgram()) {
      // Refused, passed over, or sent as what it is not: this part of the program is lost.
      ++dataRecords;
      ++dataLinesLost;
    }
  }
  return r;
}

bool CSRecordImage::LineHoldsProgram() const {
  int n = rawLength_;  // NUL bytes included: they are not blanks
  while (n > 0 && (raw_[n - 1] == ' ' || raw_[n - 1] == '\t' || raw_[n - 1] == '\r' || raw_[n - 1] == '\n')) --n;
  if (n == 0) return false;                                       // a blank line
  if (raw_[0] != 'S' || !textnum::IsDigit(raw_[1])) return true;  // a record spoilt past reading
  int addressBytes = 2;
  switch (raw_[1]) {
    case '1':
    case '2':
    case '3':  // data records; a file of S3 records ends with S7
    case '7': return true;
    case '0': return dataRecords > 0;  // a header among the data is a data record whose type was spoilt
    case '6': return false;            // passed on as it stands: the bootloader judges it
    case '8': addressBytes = 3; break;
    default: break;  // S4, S5 (count) and S9: a 16-bit field
  }
  // A record that holds nothing but its count, its field and its checksum.
  return n > 2 + 2 * (addressBytes + 2);
}

int CSRecordImage::HandOut(TextSpan buffer) {
  buffer.Clear();
  const char* l = line.c_str();
  if (l[0] != 'S' || !textnum::IsDigit(l[1])) return kIllegalRecord;
  const char type = l[1];
  switch (type) {
    case '3':
    case '4':
    case '5':
    case '7': return kUnsupportedType;
    case '8':
    case '9':
      // The end record: no more lines are read, and the trailer goes out instead.
      atEnd = true;
      MakeTrailerRecord(buffer);
      ++trailerStep;
      lastRecord.Assign(buffer.view());
      return kSend;
    default: break;
  }
  buffer.Assign(line.view());
  lastRecord.Assign(line.view());
  if (type == '0' || type == '6') return kSend;  // passed on unchecked
  return CheckDataRecord(type);
}

int CSRecordImage::CheckDataRecord(char type) {
  const char* l = line.c_str();
  // Blanks after the last hex pair are not part of the record (a blank pair reads as 0, so
  // they never change the checksum either).
  int length = static_cast<int>(line.size());
  while (length > 2 && l[length - 1] == ' ') --length;
  const int pairs = (length - 2) / 2;
  if (pairs <= 0) return kFileChecksum;

  unsigned sum = 0;
  for (int i = 0; i < pairs; ++i) sum += HexPair(l + 2 + 2 * i);
  if ((sum & 0xFF) != 0xFF) return kFileChecksum;

  // The count says how many bytes follow it (address, data, checksum); a line that holds a
  // different number would have its data read past its end, or its tail ignored. Such a
  // record is refused like a checksum fault: it stays in the buffer, so going on sends it
  // again rather than leaving a hole in the program.
  const int addressBytes = type == '1' ? 2 : 3;
  const int count = static_cast<int>(HexPair(l + 2));
  if (count < addressBytes + 1 || pairs != count + 1) return kFileChecksum;

  int64_t address = 0;
  for (int i = 0; i < addressBytes; ++i) address = address * 256 + HexPair(l + 4 + 2 * i);
  const char* data = l + 4 + 2 * addressBytes;
  const int dataBytes = count - addressBytes - 1;

  if (address >= kProgramLimit) return kAboveProgramArea;
  if (address < kProgramStart) return kBelowProgramArea;
  // Every byte needs a place in a page: none may fall between the pages or past the last.
  for (int i = 0; i < dataBytes; ++i)
    if (PageOf(address + i) < 0) return kAboveProgramArea;
  for (int i = 0; i < dataBytes; ++i) {
    const int64_t a = address + i;
    const int p = PageOf(a);
    pageUsed[p] = true;
    pages[p][a % kPageSize] = static_cast<uint8_t>(HexPair(data + 2 * i));
  }
  return kSend;
}

void CSRecordImage::MakeTrailerRecord(TextSpan buffer) {
  char text[64];
  if (trailerStep <= 7) {
    const int p = trailerStep;
    const int32_t startOffset = p == 0 ? 0x2001 : 0;
    unsigned pageSum = 0;
    for (int32_t i = startOffset; i < kPageSize; ++i) pageSum += pages[p][i];
    const int64_t start = PageAddress(p, startOffset);
    unsigned b[11] = {0x0B,
                      0x00,
                      static_cast<unsigned>((start >> 16) & 0xFF),
                      static_cast<unsigned>((start >> 8) & 0xFF),
                      static_cast<unsigned>(start & 0xFF),
                      0x00,
                      0x00,
                      0,
                      0,
                      0,
                      0};
    if (pageUsed[p]) {
      b[7] = p == 0 ? 0x1F : 0x40;
      b[8] = p == 0 ? 0xFF : 0x00;
      b[9] = (pageSum >> 8) & 0xFF;
      b[10] = pageSum & 0xFF;
    }
    unsigned sum = 0;
    for (unsigned v : b) sum += v;
    const unsigned checksum = 0xFF - (sum & 0xFF);
    std::snprintf(text, sizeof text, "S6%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X", b[0], b[1], b[2], b[3], b[4],
                  b[5], b[6], b[7], b[8], b[9], b[10], checksum);
    buffer.Assign(text);
  } else if (pageUsed[0]) {
    // The marker: the byte 0x06 at 0x2000 tells the unit its program is whole.
    std::snprintf(text, sizeof text, "S2%02X%02X%02X%02X%02X%02X", 0x05, 0x00, 0x20, 0x00, 0x06, 0xD4);
    buffer.Assign(text);
  } else {
    buffer.Assign(line.view());  // the end line itself
  }
}

void CSRecordImage::ErrorText(int number, TextSpan text) {
  const char* t = nullptr;
  switch (number) {
    case 1: t = "BootLoader: S record checksum error"; break;
    case 2: t = "BootLoader: Sector erase error"; break;
    case 3: t = "BootLoader: Flash programming failure"; break;
    case 4: t = "BootLoader: Checksum error on programmed memory"; break;
    case 5: t = "BootLoader: Unresolved charater"; break;
    case 6: t = "BootLoader: Input buffer overrun"; break;
    case 10: t = "Checksum error on record read from file"; break;
    case 11: t = "Illegal S record read from file"; break;
    case 12: t = "Unsupported S record type read from file"; break;
    case 13: t = "Unknown reply recieved from bootloader"; break;
    case 14: t = "Code address exceeds programming area"; break;
    case 15: t = "Code address below programming area"; break;
    case 16: t = "No data file open"; break;
    default: break;
  }
  if (t) {
    text.Assign(t);
  } else {
    char buf[48];
    std::snprintf(buf, sizeof buf, "Unknown errer number %d", number);
    text.Assign(buf);
  }
}

ProgramFileCheck CSRecordImage::CheckFile(const std::string& path) {
  ProgramFileCheck check;
  auto image = std::make_unique<CSRecordImage>();
  if (path.size() + 1 <= image->path.Capacity()) image->path.Assign(path);
  if (!image->Open()) {
    check.error = kNoFile;
    check.text = ErrorString(kNoFile);
    return check;
  }
  if (!ReadAsLoad(*image, check)) return check;
  check.records = image->recordsRead;
  check.dataRecords = image->dataRecords;
  // The load reads nothing after the end record: a data record there would never be sent.
  char piece[kPieceChars + 1];
  int fileLine = image->fileLine;
  for (bool newLine = image->pieceEndedLine_; image->ReadPiece(piece); newLine = image->pieceEndedLine_) {
    if (!newLine) continue;
    ++fileLine;
    if (piece[0] == 'S' && (piece[1] == '1' || piece[1] == '2' || piece[1] == '3')) {
      check.line = fileLine;
      check.text = kDataAfterEndText;
      return check;
    }
  }
  check.ok = true;
  return check;
}

int CSRecordImage::PageOf(int64_t address) {
  for (int p = 0; p < kPageCount; ++p)
    if (address >= kPageBase[p] && address < kPageBase[p] + kPageSize) return p;
  return -1;
}

int64_t CSRecordImage::PageAddress(int page, int32_t offset) {
  if (page < 0 || page >= kPageCount) return -1;
  return kPageBase[page] + offset;
}

const CSRecordImage::Filter* CSRecordImage::FileFilters(int kind, int& count) {
  static const Filter kPrograms[] = {{"Programs (*.a07)", "*.a07"}, {"All (*.*)", "*.*"}};
  static const Filter kCommands[] = {{"Commands (*.T7d)", "*.T7d"}, {"All (*.*)", "*.*"}};
  count = 2;
  return kind == 1 ? kCommands : kPrograms;
}

bool CSRecordImage::ChooseFile(IOperator& op, TextSpan path, int kind) {
  const std::string initial = path.c_str() ? std::string(path.view()) : std::string();
  auto chosen = op.ChooseFile(initial, kind);
  if (!chosen || chosen->empty() || chosen->size() + 1 > path.capacity) {
    // Cancelled, or a path that would be cut to another file's name.
    path.Clear();
    return false;
  }
  path.Assign(*chosen);
  return true;
}
