// Where the terminal keeps its files: ROOT/T7Status, ROOT being C:\Dranmere on Windows and
// $HOME/Dranmere elsewhere, or the folder given with --root.
#pragma once
#include <filesystem>
#include <string>

struct DataPaths {
  std::filesystem::path root;

  static DataPaths Default();
  std::filesystem::path StatusDir() const { return root / "T7Status"; }
  std::filesystem::path CurrentStatusFile() const { return StatusDir() / "Current-Status.xml"; }
  std::filesystem::path NewStatusFile() const { return StatusDir() / "New-Status.xml"; }
  std::filesystem::path TestTransponderFile() const { return StatusDir() / "TestTpdr.txt"; }
  std::filesystem::path PortsDir() const { return root / "ports"; }
  // Creates ROOT and ROOT/T7Status; a folder that exists is no error and nothing is reported.
  void CreateFolders() const;
};
