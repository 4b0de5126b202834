#include "FolderOps.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fstream>

using namespace glossan;

namespace {

void writeFile(const QString& path) { std::ofstream(path.toStdString()) << "data"; }

TEST(FolderOps, DeletesNestedFolders) {
    QTemporaryDir dir;
    const QString root = dir.filePath("tree");
    QDir().mkpath(root + "/a/b/c");
    QDir().mkpath(root + "/empty");
    writeFile(root + "/top.txt");
    writeFile(root + "/a/b/c/deep.txt");
    EXPECT_TRUE(deleteFolderRecursive((root + "/").toStdString()));
    EXPECT_FALSE(QFileInfo::exists(root));
    EXPECT_FALSE(deleteFolderRecursive(root.toStdString())) << "nothing left to delete";
}

TEST(FolderOps, DeleteRemovesLinksWithoutFollowingThem) {
    QTemporaryDir dir;
    const QString outside = dir.filePath("outside");
    QDir().mkpath(outside);
    writeFile(outside + "/keep.txt");
    const QString root = dir.filePath("tree");
    QDir().mkpath(root);
    ASSERT_TRUE(QFile::link(outside, root + "/folder-link"));
    ASSERT_TRUE(QFile::link(outside + "/keep.txt", root + "/file-link"));
    ASSERT_TRUE(QFile::link(outside, dir.filePath("root-link")));

    EXPECT_TRUE(deleteFolderRecursive(root.toStdString()));
    EXPECT_TRUE(deleteFolderRecursive(dir.filePath("root-link").toStdString()));
    EXPECT_FALSE(QFileInfo::exists(root));
    EXPECT_TRUE(QFileInfo::exists(outside + "/keep.txt"));
}

TEST(FolderOps, RenameRefusesAnExistingTarget) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("from"));
    QDir().mkpath(dir.filePath("to"));
    EXPECT_FALSE(renameFolder(dir.filePath("from").toStdString(), dir.filePath("to").toStdString()));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("from")));
    EXPECT_TRUE(renameFolder(dir.filePath("from").toStdString(), dir.filePath("moved").toStdString()));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("moved")));
}

}  // namespace
