// The two status files of the data folder and the unit's entries in them.
#include "records/status_xml.h"
#include "serial/transponder.h"

CTransponder::CTransponder(CCommPort& p, IOperator& o, DataPaths dataPaths)
    : port(p), op(o), paths(std::move(dataPaths)) {
  OpenStatusFiles();
}

CTransponder::~CTransponder() { CloseStatusFiles(); }

void CTransponder::OpenStatusFiles() {
  currentFile = std::make_unique<CStatusXml>();
  newFile = std::make_unique<CStatusXml>();
}

void CTransponder::CloseStatusFiles() {
  currentFile.reset();
  newFile.reset();
}
