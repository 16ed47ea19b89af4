#include <gtest/gtest.h>

#include <string>

#include "download/DownloadItem.h"

namespace ruvevid {
namespace {

struct UrlCase {
  std::string Value;
  std::string URL;
  std::string FileName;
};

class UrlSetterTest : public testing::TestWithParam<UrlCase> {};

TEST_P(UrlSetterTest, StoresSchemeAndDerivesFileName) {
  TDownLoadItems Items;
  TDownLoadItem* Item = Items.Add();
  Item->SetURL(GetParam().Value);
  EXPECT_EQ(Item->URL(), GetParam().URL);
  EXPECT_EQ(Item->FileName, GetParam().FileName);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, UrlSetterTest,
    testing::Values(UrlCase{"localhost:280/HTTP/Ruvevid/Roduvov0.zip",
                            "http://localhost:280/HTTP/Ruvevid/Roduvov0.zip", "Roduvov0.zip"},
                    UrlCase{"https://host/a/b.zip", "https://host/a/b.zip", "b.zip"},
                    UrlCase{"FTP://Host/File.Bin", "FTP://Host/File.Bin", "File.Bin"},
                    UrlCase{"x://y", "x://y", "y"}, UrlCase{"weird text ://", "weird text ://", ""},
                    UrlCase{"", "http://", ""}, UrlCase{"host/dir/", "http://host/dir/", ""},
                    UrlCase{"host/get?file=a.zip&v=2", "http://host/get?file=a.zip&v=2",
                            "get?file=a.zip&v=2"},
                    UrlCase{"host:/x", "http://host:/x", "x"},
                    UrlCase{"HTTP:/host/x.zip", "http://HTTP:/host/x.zip", "x.zip"}));

struct FolderCase {
  std::string Value;
  char Separator;
  std::string Stored;
};

class FolderRuleTest : public testing::TestWithParam<FolderCase> {};

TEST_P(FolderRuleTest, AppendsOneSeparatorOfItsOwnKind) {
  EXPECT_EQ(TDownLoadItem::WithTrailingSeparator(GetParam().Value, GetParam().Separator),
            GetParam().Stored);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, FolderRuleTest,
    testing::Values(FolderCase{"C:\\Program Files\\Ruvevid", '\\', "C:\\Program Files\\Ruvevid\\"},
                    FolderCase{"C:\\Program Files\\Ruvevid\\", '\\',
                               "C:\\Program Files\\Ruvevid\\"},
                    FolderCase{"C:/Ruvevid/", '\\', "C:/Ruvevid/\\"},
                    FolderCase{"C:\\Ruvevid\\\\", '\\', "C:\\Ruvevid\\\\"},
                    FolderCase{"/opt/ruvevid", '/', "/opt/ruvevid/"},
                    FolderCase{"/opt/ruvevid/", '/', "/opt/ruvevid/"},
                    FolderCase{"/opt/ruvevid\\", '/', "/opt/ruvevid\\/"}, FolderCase{"/", '/', "/"},
                    FolderCase{"", '/', ""}, FolderCase{"", '\\', ""}));

TEST(DownloadItemTest, NewItemIsEmpty) {
  TDownLoadItems Items;
  const TDownLoadItem* Item = Items.Add();
  EXPECT_EQ(Item->URL(), "");
  EXPECT_EQ(Item->LocalDir(), "");
  EXPECT_EQ(Item->FileName, "");
  EXPECT_EQ(Item->ContentType, "");
  EXPECT_EQ(Item->FileSize, 0);
  EXPECT_EQ(Item->Data, nullptr);
  EXPECT_EQ(Item->Collection(), &Items);
}

TEST(DownloadItemTest, LocalDirUsesThePlatformSeparator) {
  TDownLoadItems Items;
  TDownLoadItem* Item = Items.Add();
  Item->SetLocalDir("/srv/updates");
  EXPECT_EQ(Item->LocalDir(), std::string("/srv/updates") + TDownLoadItem::PathSeparator);
  Item->SetLocalDir("/srv/updates/");
  EXPECT_EQ(Item->LocalDir(), "/srv/updates/");
}

TEST(DownloadItemTest, FullFileNameJoinsFolderAndName) {
  TDownLoadItems Items;
  TDownLoadItem* Item = Items.Add();
  Item->SetLocalDir("/srv/updates/");
  Item->SetURL("host:280/HTTP/Ruvevid/Roduvov0.zip");
  EXPECT_EQ(Item->FullFileName(), "/srv/updates/Roduvov0.zip");
  Item->FileName = "other.bin";
  EXPECT_EQ(Item->FullFileName(), "/srv/updates/other.bin");
  Item->SetURL("host/dir/");
  EXPECT_EQ(Item->FullFileName(), "/srv/updates/");
}

TEST(DownloadItemTest, AssignCopiesStoredFieldsButNotTypeOrData) {
  TDownLoadItems Items;
  TDownLoadItem* Source = Items.Add();
  Source->SetURL("host/a/first.zip");
  Source->FileName = "renamed.zip";
  Source->SetLocalDir("/tmp/x");
  Source->FileSize = 1234;
  Source->ContentType = "application/zip";
  int Marker = 0;
  Source->Data = &Marker;

  TDownLoadItem* Target = Items.Add();
  Target->ContentType = "text/plain";
  Target->Assign(Source);
  EXPECT_EQ(Target->URL(), "http://host/a/first.zip");
  EXPECT_EQ(Target->FileName, "renamed.zip");  // the setter is not run
  EXPECT_EQ(Target->LocalDir(), "/tmp/x/");
  EXPECT_EQ(Target->FileSize, 1234);
  EXPECT_EQ(Target->ContentType, "text/plain");
  EXPECT_EQ(Target->Data, nullptr);
}

TEST(DownloadItemTest, AssignRefusesOtherClasses) {
  TDownLoadItems Items;
  TDownLoadItem* Item = Items.Add();
  try {
    Item->Assign(&Items);
    FAIL() << "no error";
  } catch (const EConvertError& Error) {
    EXPECT_STREQ(Error.what(), "Cannot assign a TDownLoadItems to a TDownLoadItem");
  }
  try {
    Item->Assign(nullptr);
    FAIL() << "no error";
  } catch (const EConvertError& Error) {
    EXPECT_STREQ(Error.what(), "Cannot assign a nil to a TDownLoadItem");
  }
  EXPECT_THROW(Items.Assign(Item), EConvertError);
}

TEST(DownloadItemsTest, KeepsInsertionOrderAndIndexes) {
  TDownLoadItems Items;
  EXPECT_EQ(Items.Count(), 0);
  TDownLoadItem* First = Items.Add();
  TDownLoadItem* Second = Items.Add();
  TDownLoadItem* Third = Items.Add();
  EXPECT_EQ(Items.Count(), 3);
  EXPECT_EQ(Items.Items(0), First);
  EXPECT_EQ(Items.Items(1), Second);
  EXPECT_EQ(Items.Items(2), Third);
  EXPECT_EQ(Third->Index(), 2);
  EXPECT_EQ(Items.IndexOf(Second), 1);
  TDownLoadItems Others;
  EXPECT_EQ(Items.IndexOf(Others.Add()), -1);
  Items.Clear();
  EXPECT_EQ(Items.Count(), 0);
}

class ListIndexTest : public testing::TestWithParam<int> {};

TEST_P(ListIndexTest, IndexOutsideTheListFails) {
  TDownLoadItems Items;
  Items.Add();
  Items.Add();
  try {
    Items.Items(GetParam());
    FAIL() << "no error";
  } catch (const EListError& Error) {
    EXPECT_EQ(std::string(Error.what()),
              "List index out of bounds (" + std::to_string(GetParam()) + ")");
  }
}

INSTANTIATE_TEST_SUITE_P(Indexes, ListIndexTest, testing::Values(-1, 2, 3, 1000));

}  // namespace
}  // namespace ruvevid
