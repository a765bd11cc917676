// The program file being loaded: a Motorola S-record file read one record at a time, each
// record checked and its data kept in an image of the unit's eight program pages. After the
// file's end record the image hands out a trailer of its own (one page-check record per page
// and a final marker), judges each bootloader reply to the record sent before, and words the
// error numbers. Also the file-open dialog for program files and command files.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/fixed_text.h"
#include "platform/operator.h"

// What a reading of a whole program file found, judged line by line as a load judges it.
struct ProgramFileCheck {
  bool ok = false;
  int line = 0;      // the file line at fault (counted in lines, not pieces); 0 when none
  int error = 0;     // the error number the load would stop on; 0 for a fault of the whole file
  std::string text;  // the error's text, or what the whole file lacks
  int records = 0;   // lines the load reads, up to and including the end record
  int dataRecords = 0;
  // Lines the load will ask the operator about and that "Yes" passes over without losing any
  // of the program: blank lines and count records (S5).
  int questions = 0;
};

class CSRecordImage {
 public:
  static constexpr int kPageCount = 8;
  static constexpr int32_t kPageSize = 0x4000;
  // The programming area starts here; the final marker record writes this address.
  static constexpr int32_t kProgramStart = 0x2000;
  // A record whose first address is this or higher exceeds the programming area.
  static constexpr int32_t kProgramLimit = 0x4BFFF;
  // A file line is read in pieces of at most this many characters.
  static constexpr int kPieceChars = 49;

  // Results of NextRecord besides the error numbers.
  static constexpr int kSend = 0;
  static constexpr int kFinished = -1;

  // Error numbers: 1 to 6 come from the bootloader, 10 to 16 are found by the terminal.
  static constexpr int kFileChecksum = 10;
  static constexpr int kIllegalRecord = 11;
  static constexpr int kUnsupportedType = 12;
  static constexpr int kUnknownReply = 13;
  static constexpr int kAboveProgramArea = 14;
  static constexpr int kBelowProgramArea = 15;
  static constexpr int kNoFile = 16;

  CSRecordImage();
  ~CSRecordImage();
  CSRecordImage(const CSRecordImage&) = delete;
  CSRecordImage& operator=(const CSRecordImage&) = delete;

  int recordsRead = 0;  // file lines (pieces) read since the file was opened
  int lineCount = 0;    // lines (pieces) in the file, counted when it was opened
  // The program file. Holds every path the file dialog can give (500 characters).
  FixedText<501> path;
  int trailerStep = 0;        // next trailer record to make, 0 to 8; 9 when the trailer is done
  FixedText<200> lastRecord;  // the record last handed out, for sending again
  FixedText<200> line;        // the current file line
  bool atEnd = false;         // the file's end or its end record (S8, S9) was reached
  uint8_t pages[kPageCount][kPageSize];
  bool pageUsed[kPageCount] = {};
  bool isOpen = false;
  // Records in a row that got nothing at all back within their time-out, counted by the load.
  // One silent record is accepted (some bootloaders say nothing to a header line); when the
  // count reaches kSilentLimit the next judgement takes the silence for an unrecognised reply
  // and puts the record back in the buffer, so that going on sends it again.
  int silentRecords = 0;
  static constexpr int kSilentLimit = 3;
  // The file line (counted in lines, not pieces) that the current line belongs to.
  int fileLine = 0;
  // Lines of this load that carry part of the program: the data records (S1, S2), and every
  // line that may hold program data but cannot be programmed (a refused record, a line that
  // going on passes over). Only a data record that went out whole is acknowledged, when the
  // bootloader accepts it; a load is whole when every one of them was.
  int dataRecords = 0;
  int dataAcknowledged = 0;
  // Of dataRecords, the lines that cannot be programmed: never acknowledged.
  int dataLinesLost = 0;

  bool Open();
  void Close();
  // On entry the buffer holds the bootloader's reply to the record sent last (empty before
  // the first); on return the record to send. Returns kSend, kFinished, 1 to 9 (the
  // bootloader's error for the last record, which is back in the buffer) or 10 to 16.
  int NextRecord(TextSpan buffer);

  static void ErrorText(int number, TextSpan text);

  // Faults of a file that the load itself would not stop on, but that lose program data.
  static constexpr const char* kNoEndRecordText = "No end record in file";
  static constexpr const char* kHeaderAmongDataText = "Header record among the data records";
  static constexpr const char* kEndRecordWithDataText = "End record holding data";
  static constexpr const char* kDataAfterEndText = "Data record after the end record";
  // Reads the whole file as a load would, every reply taken for "OK", touching no unit. It
  // fails on what would lose program data if the load went past it: a data record that cannot
  // be sent whole (checksum, count, address), a line that may hold program data but would not
  // be programmed (S3 and S7 lines, a header among the data records, an end record holding
  // data, anything that is not a record and not blank), a data record after the end record,
  // and a file without an end record. Blank lines and count records pass: the load asks about
  // them and "Yes" goes on.
  static ProgramFileCheck CheckFile(const std::string& path);
  // The page (0 to 7) whose address window holds the address, or -1.
  static int PageOf(int64_t address);
  // The address of an offset in a page, or -1 for a page outside 0 to 7.
  static int64_t PageAddress(int page, int32_t offset);

  // The file-open dialog. path: in, the initial folder; out, the chosen path (emptied when
  // nothing was chosen, or when the chosen path does not fit the buffer). kind 0: program
  // files, 1: command files.
  static bool ChooseFile(IOperator& op, TextSpan path, int kind);
  // The dialog's filter list for a kind, as description/pattern pairs, first one selected:
  // "Programs (*.a07)", "*.a07", "All (*.*)", "*.*" for kind 0; commands for kind 1.
  struct Filter {
    const char* description;
    const char* pattern;
  };
  static const Filter* FileFilters(int kind, int& count);

 private:
  // Reads the next piece of a line (at most kPieceChars characters, a line end included) as
  // a text-mode read would: CR LF becomes LF. Returns its length, 0 at the end of the file.
  int ReadPiece(char (&piece)[kPieceChars + 1]);
  // Judges the reply in the buffer: 0 accepted, else the error number (buffer set for it).
  int JudgeReply(TextSpan buffer);
  void MakeTrailerRecord(TextSpan buffer);
  int CheckDataRecord(char type);
  int HandOut(TextSpan buffer);
  // Whether the line read last may carry part of the program, judged on the line as it stood in
  // the file (before it was cut at its first control character).
  bool LineHoldsProgram() const;

  std::FILE* file_ = nullptr;
  bool pieceEndedLine_ = true;      // the piece read last ended its line
  char raw_[kPieceChars + 1] = {};  // the piece read last, as read (NUL bytes and all)
  int rawLength_ = 0;
  bool pendingData_ = false;  // the record handed out last is a data record not yet accepted
};
