// Saving replaces a status file whole, through a temporary file and a rename; reading it is
// bounded.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "records/status_file_io.h"
#include "tests/records/records_support.h"

using namespace records_test;

namespace {
struct Folder : ::testing::Test {
  Folder() : dir(FreshTempDir("atomic") / "T7Status"), file(dir / "Current-Status.xml") {}
  ~Folder() override {
    std::error_code ec;
    fs::remove_all(dir.parent_path(), ec);
  }
  fs::path dir, file;
};

ino_t Inode(const fs::path& p) {
  struct stat st {};
  stat(p.c_str(), &st);
  return st.st_ino;
}
}  // namespace

TEST_F(Folder, ASaveRenamesANewFileOverTheOldOneInsteadOfWritingIntoIt) {
  WriteFile(file, "<Velmoors></Velmoors>");
  std::ifstream reader(file, std::ios::binary);  // another program in the middle of reading
  ino_t before = Inode(file);

  CStatusXml d;
  d.Load(file);
  StatusEntry e = FilledEntry(9);
  d.WriteUnit(e.checks, e.status);
  CStatusXml::SaveResult saved = d.Save(file);
  ASSERT_TRUE(saved.saved) << saved.error;

  EXPECT_NE(Inode(file), before);
  std::string seen((std::istreambuf_iterator<char>(reader)), std::istreambuf_iterator<char>());
  EXPECT_EQ(seen, "<Velmoors></Velmoors>") << "the reader still sees the whole old file";
  EXPECT_NE(ReadFile(file).find("<UnitId>9</UnitId>"), std::string::npos);
  EXPECT_EQ(FolderListing(dir), (std::vector<std::string>{"Current-Status.xml"}));
}

TEST_F(Folder, ASaveKeepsTheFilesPermissionsAndALinkToIt) {
  fs::path real = dir / "kept-elsewhere.xml";
  WriteFile(real, "<Velmoors/>");
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink(real, file);
  CStatusXml d;
  d.Load(file);
  StatusEntry e = FilledEntry(9);
  d.WriteUnit(e.checks, e.status);
  ASSERT_TRUE(d.Save(file).saved);
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(file)));
  EXPECT_NE(ReadFile(real).find("<UnitId>9</UnitId>"), std::string::npos);
  EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(FolderListing(dir), (std::vector<std::string>{"Current-Status.xml", "kept-elsewhere.xml"}));
}

TEST_F(Folder, AFailedWriteRemovesItsTemporaryAndLeavesTheTarget) {
  WriteFile(file, "old");
  fs::create_directory(dir / "sub");
  // A target inside a folder that does not exist: the temporary cannot even be made.
  WriteOutcome w = WriteFileAtomically(dir / "missing" / "x.xml", "new");
  EXPECT_FALSE(w.ok);
  EXPECT_NE(w.error.find("cannot create"), std::string::npos) << w.error;
  // A target that is a folder: the rename fails and the written temporary goes.
  WriteOutcome r = WriteFileAtomically(dir / "sub", "new");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("cannot replace"), std::string::npos) << r.error;
  EXPECT_EQ(FolderListing(dir), (std::vector<std::string>{"Current-Status.xml", "sub"}));
  EXPECT_EQ(ReadFile(file), "old");
}
