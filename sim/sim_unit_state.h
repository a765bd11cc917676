// What the simulated unit keeps about itself. Each subsystem's commands read and change it,
// and the status replies are written from it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct SimUnitState {
  // Real-time clock, as last set (text the unit shows).
  std::string clockText = "12:00:00 01/01/26";

  // ---- status: identity, firmware, settings, battery and sensors. The replies to "#HWST",
  // "#TPST", "#FVFV", "#INFO", "#STTX" and "#RDSE" are written from these; set-up commands
  // change them. The defaults are a wideband unit with a daughter card (see sim_status.h for
  // the other profiles).
  // Identity.
  std::string typeNo = "7815";
  std::string band = "MF";
  std::string tdrType = "30deg";
  bool typeLineHoldsBandAndTdr = true;  // older firmware: the type alone, band and transducer in "#TPST"
  uint32_t unitId = 0x1A2B3C;
  int32_t serialNumber = 2345;  // 1000000000 and more for the E series
  int32_t serialSuffix = 7;
  std::string endcapSerial = "EC-10442";
  // Assemblies: identity, drawing number, issue. An empty identity: not fitted, no line.
  struct Assembly {
    std::string id, drawing, issue;
  };
  Assembly battery1{"B-55671", "7815-410", "C"};
  Assembly battery2{"B-55672", "7815-410", "C"};
  Assembly battery3;
  Assembly daughterCard{"DC-2231", "7815-520", "B"};
  Assembly transmitter{"TX-9921", "7815-300", "D"};
  std::string dasId = "DAS-7731";
  uint32_t sensorsFitted = 0x0104;  // bits of the report's sensor table: DQZ, release
  // Firmware.
  std::string firmwareLabel = "Main";  // "T7Max" on the old firmware
  std::string mainFirmware = "V3.12.4 12/03/2021";
  std::string modelName;  // "QRN" for a unit of the QRN model: its firmware reply names it
  std::string dasFirmware = "V1.07";
  std::string u4Firmware = "V2.01";
  std::string u10Firmware = "V1.10";
  std::string u5Firmware = "V1.03";
  std::string u8Firmware = "V1.00";
  std::string daughterCardLabel = "Dcard";     // "DCard" on the old firmware
  std::string daughterCardFirmware = "V4.20";  // empty: "not fitted"
  bool knowsSerialStatus = true;               // old firmware only echoes "#STTX"
  bool reportsBlockIndex = true;               // old firmware shows three timing indices
  uint8_t functionLevel = 0x2C;
  // Address, channels and ranging.
  int32_t address = 12;
  int32_t channel = 7;
  int32_t hprMs = 3;
  int32_t hprLs = 4;
  std::string enabled = "WDD";  // one letter per ranging mode: E tone, W wideband, D disabled
  int32_t replyChannel = 99;    // 99: replies IRS
  int32_t interrogateChannel = 14;
  int32_t iifReplyChannel = 15;
  double tatMs = 12.5;
  int32_t cwt = 3, cwr = 2, cwc = 1, block = 4;
  // Transmit power letters U, J, T, S, L and receive gain G, one digit each.
  int32_t powerU = 3, powerJ = 3, powerT = 3, powerS = 3, powerL = 3;
  int32_t rxGain = 4;
  // Battery.
  std::string batteryType = "Lithium";
  int32_t batteryStacks = 2;
  int32_t batteryCount = 57;
  double batteryVolts = 14.62;
  bool batteryWarning = false;
  bool batteryOverride = false;
  // Serial status (the numbers "#STTX" reports).
  int32_t rangingType = 1;
  int32_t telemetryType = 0;
  int32_t baudRateCode = 4;
  int32_t widebandEnabled = 1;
  int32_t daughterCardFitted = 1;
  int32_t dataTelemetryType = 0;
  int32_t downlinkInterPacketTime = 10;
  int32_t dataDelay = 5;
  int32_t uplinkPacketDelay = 3;
  int32_t commandWaitDelay = 20;
  int32_t commandReplyType = 1;
  int32_t interCharacterTime = 2;
  int32_t externalSync = 0;
  int32_t detectThreshold = 120;  // tenths
  int32_t linearGain = 240;
  int32_t feEnabled = 0;
  int32_t cpd = 2;
  // Pressure sensor, in the unit's own units ("#RDSE").
  bool pressureSensor = true;
  double pressureOffset = 0.125;
  double pressureRange = 500.0;
  double pressureAccuracy = 0.05;
  double temperatureC = 21.4;

  // ---- ui: set-up commands (they also change serialNumber, address, channel, enabled and
  // pressureOffset above) ----
  struct Setup {
    int32_t clockWeekday = 4;     // 1 Monday .. 7 Sunday, as "#SRTC" last set it
    bool privileged = false;      // "#ENDB,1" opens the serial-number command
    int32_t lastPressure = 0;     // millibars of the last "#ZDOF"
    bool depthError = false;      // fault: "#ZDOF" answers "Error" (the offset is still set)
    bool dasCalibration = false;  // "#DAST,22" after a watchdog restart
    int initialisations = 0;      // "#INTP" count
    int synchOutPulses = 0;       // "#TXPG" count
    bool synchInEnabled = false;  // "#ENSI"
    std::string enabledBefore;    // the enable letters "#GCMD,2" replaced; "#ENTP" brings them back
    int32_t mode = 0;             // 3 or 4 after "#GCMD,3" or "#GCMD,4"
    int factoryDefaults = 0;      // "#ISFD" count
  } setup;

  // ---- update: the settings commands "#STAD", "#ESSI", "#DSSI" and the "#GCMD" pairs ----
  struct Settings {
    // A "#GCMD" parameter command received and waiting for its selection code (0: none).
    int32_t pendingParameter = 0;
    // Fault: the unit answers as usual but ignores this parameter, named like the terminal's
    // status field ("Address" for the whole "#STAD", "RxGain", "CPA", "CPU", "CPT", "CPS",
    // "CPL", "CPJ", "CWTIndex", "CWRIndex", "CWCIndex", "CIFReplyCHannel", "AltCIFChannel",
    // "IIFChannel", "FEEnabled", "Tat", "ExternalSync", "CPD", "Enabled"); empty: none.
    std::string ignored;
    // Every setting the unit took, "RxGain=3" and the like, in order.
    std::vector<std::string> taken;
  } settings;

  // ---- commands: the bench tests ("#CKHW", "#RTST", "#GCMD,8", the interrogation report)
  // and the far end of the status export ----
  struct Tests {
    // "#CKHW": 0 answers "Self test passed", other codes "Self test error: <code>".
    int32_t selfTestCode = 0;
    // "#RTST": the release fires and the unit reports "E:<code>", 0 for a good release.
    int32_t releaseCode = 0;
    // Faults: the test command gets no answer at all, or an answer without its markers.
    bool selfTestSilent = false;
    bool selfTestNoMarkers = false;
    bool releaseSilent = false;
    bool releaseNoMarkers = false;
    int selfTests = 0;     // "#CKHW" count
    int releaseTests = 0;  // "#RTST" count
    // The test transponder in the tank: Reply answers the interrogation, NoReply stays quiet
    // (the unit reports "t/o"), Nothing makes the unit report nothing at all.
    enum class Acoustic { Reply, NoReply, Nothing } acoustic = Acoustic::Reply;
    // When set, the wideband report line is this text instead (without its CR).
    std::string acousticLine;
    // When set, the value after "0x" of the "#GCMD,8" reply is this text instead.
    std::string toneValue;
    // How long after answering the channel selection the unit reports its interrogation.
    uint32_t acousticDelayMs = 1500;
    // Export far end: answers "Export" with "Reply" and each piece with "OK"; "END" ends it.
    bool exportSilent = false;      // fault: no answer to "Export"
    bool exportNoReply = false;     // fault: answers "Export" without "Reply"
    int exportPiecesAnswered = -1;  // fault: answers only this many pieces (-1: all)
    bool exporting = false;
    bool exportEnded = false;
    std::vector<std::string> exportPieces;  // every piece received, in order
  } tests;

  // ---- firmware: the bootloader's flash and the program it holds ----
  struct Flash {
    // The eight program pages as the bootloader programmed them, 16 KB each in page order
    // (windows 0x0000, 0x4000, 0xC000, 0x8000, 0x18000, 0x28000, 0x38000, 0x48000).
    // Erased bytes are 0xFF; a load erases a page when it first writes into it.
    std::vector<uint8_t> bytes = std::vector<uint8_t>(8 * 0x4000, 0xFF);
    // The version of the program held, from its file's header record ("V3.13.0"); empty: the
    // program the unit left the factory with. A load that completes also sets mainFirmware.
    std::string programVersion;
    int loadsCompleted = 0;     // loads whose page checks all passed and whose last record came
    int recordsProgrammed = 0;  // data records programmed, over all loads
    // Faults. The record lines of a load are counted from 1 (header included, repeats too).
    int failLine = 0;  // this line and the next failTimes - 1 are answered with failDigit
    int failDigit = 1;
    int failTimes = 1;
    int64_t stuckAddress = -1;    // a flash byte that will not program: its page check fails
    int deadAfterLine = 0;        // the unit dies (faults.dead) after answering this record line
    std::string longReply;        // when set, sent instead of "OK" (a garbled, long reply)
    bool silentOnHeader = false;  // header (S0) lines are programmed but get no answer at all
  } flash;
};
