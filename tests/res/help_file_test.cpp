// The help pages against the program they describe: every menu command,
// shortcut key, dialog and message of the resource script and the program
// is explained; the project, contents and index name only pages that exist
// and every page is reachable; and the compiled Ravelin.chm holds them all.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kSource = RAVELIN_SOURCE_DIR;
const fs::path kHelpDir = kSource / "help";
const std::string kHelpFile = RAVELIN_HELP_FILE;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Pages() {
  std::vector<std::string> pages;
  for (const auto& entry : fs::directory_iterator(kHelpDir)) {
    if (entry.path().extension() == ".html") pages.push_back(entry.path().filename().string());
  }
  return pages;
}

// A page's text as a reader sees it: tags dropped, entities decoded,
// runs of white space made one space.
std::string Visible(const std::string& html) {
  std::string text = std::regex_replace(html, std::regex("<[^>]*>"), " ");
  for (const auto& [entity, c] : {std::pair{"&gt;", ">"}, std::pair{"&lt;", "<"},
                                  std::pair{"&quot;", "\""}, std::pair{"&amp;", "&"}}) {
    text = std::regex_replace(text, std::regex(entity), c);
  }
  return std::regex_replace(text, std::regex("\\s+"), " ");
}

std::string AllHelpText() {
  std::string all;
  for (const std::string& page : Pages()) all += Visible(ReadText(kHelpDir / page)) + " ";
  return all;
}

std::vector<std::string> Matches(const std::string& text, const std::string& pattern) {
  std::vector<std::string> out;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
       ++it) {
    out.push_back((*it)[1].str());
  }
  return out;
}

}  // namespace

TEST(HelpPages, ExplainEveryMenuCommandAndItsKey) {
  const std::string script = ReadText(kSource / "res/ravelin.rc");
  const std::string help = AllHelpText();
  const std::vector<std::string> items = Matches(script, R"(MENUITEM\s+"([^"]+)\")");
  ASSERT_EQ(items.size(), 16u);
  for (const std::string& item : items) {
    // "&Save Image...\tCtrl+S": the name without its mnemonic and dots,
    // then the key label.
    std::string name = item.substr(0, item.find("\\t"));
    name = std::regex_replace(name, std::regex("&"), "");
    name = std::regex_replace(name, std::regex("\\.\\.\\.$"), "");
    EXPECT_NE(help.find(name), std::string::npos) << name;
    if (item.find("\\t") != std::string::npos) {
      const std::string key = item.substr(item.find("\\t") + 2);
      EXPECT_NE(help.find(key), std::string::npos) << key;
    }
  }
}

TEST(HelpPages, NameEveryNavigationKeyDialogAndMessage) {
  const std::string help = AllHelpText();
  const std::string script = ReadText(kSource / "res/ravelin.rc");
  // The dialogs of the resource script, by their captions.
  const std::vector<std::string> captions = Matches(script, R"(CAPTION\s+"([^"]+)\")");
  ASSERT_GE(captions.size(), 3u);
  for (std::string caption : captions) {
    caption = std::regex_replace(caption, std::regex("\\.\\.\\.$"), "");
    EXPECT_NE(help.find(caption), std::string::npos) << caption;
  }
  // Keys the main window handles itself, windows of its own and the
  // system's dialogs it opens, and the texts of its message boxes.
  for (const char* text : {"Right",
                           "Left",
                           "Page Down",
                           "Page Up",
                           "Home",
                           "End",
                           "Finder",
                           "Loading files",
                           "Open the executable file(s)",
                           "Save bitmap",
                           "Save icon",
                           "Save cursor",
                           "Save icon group",
                           "Save cursor group",
                           "PNG image (*.png)",
                           "Save as PNG images",
                           "This icon belongs to no icon group.",
                           "UNSUPPORTED IMAGE FORMAT",
                           "Can't open",
                           "Unsupported format",
                           "Can't create file",
                           "Can't view item.",
                           "Possibly, drive not ready",
                           "is not ready",
                           "Can't initialize",
                           "Found image(s)",
                           "Ravelin.chm"}) {
    EXPECT_NE(help.find(text), std::string::npos) << text;
  }
}

TEST(HelpProject, ListsEveryPageOnceAndOnlyPagesThatExist) {
  const std::string project = ReadText(kHelpDir / "Ravelin.hhp");
  const std::string files = project.substr(project.find("[FILES]"));
  std::set<std::string> listed;
  for (const std::string& name : Matches(files, R"(\n([^\r\n\[]+\.html))")) {
    EXPECT_TRUE(listed.insert(name).second) << name << " listed twice";
  }
  const std::vector<std::string> pages = Pages();
  const std::set<std::string> present(pages.begin(), pages.end());
  EXPECT_EQ(listed, present);
  // The contents names every page; the index and the contents only pages
  // that exist, with anchors that the page defines.
  std::set<std::string> inContents;
  for (const char* sitemap : {"Ravelin.hhc", "Ravelin.hhk"}) {
    for (const std::string& local :
         Matches(ReadText(kHelpDir / sitemap), R"(name="Local" value="([^"]+)\")")) {
      const std::string page = local.substr(0, local.find('#'));
      EXPECT_EQ(present.count(page), 1u) << sitemap << ": " << local;
      if (local.find('#') != std::string::npos) {
        const std::string anchor = local.substr(local.find('#') + 1);
        EXPECT_NE(ReadText(kHelpDir / page).find("name=\"" + anchor + "\""), std::string::npos)
            << local;
      }
      if (std::string(sitemap) == "Ravelin.hhc") inContents.insert(page);
    }
  }
  EXPECT_EQ(inContents, present);
}

TEST(HelpPages, LinksLeadToPagesAndAnchorsThatExist) {
  for (const std::string& page : Pages()) {
    const std::string html = ReadText(kHelpDir / page);
    for (const std::string& href : Matches(html, R"(href="([^"]+)\")")) {
      if (href == "help.css") continue;
      const std::string target = href[0] == '#' ? page : href.substr(0, href.find('#'));
      ASSERT_TRUE(fs::exists(kHelpDir / target)) << page << " -> " << href;
      if (href.find('#') != std::string::npos) {
        const std::string anchor = href.substr(href.find('#') + 1);
        EXPECT_NE(ReadText(kHelpDir / target).find("name=\"" + anchor + "\""), std::string::npos)
            << page << " -> " << href;
      }
    }
  }
}

TEST(HelpFile, CompiledFileHoldsEveryPage) {
  if (kHelpFile.empty()) GTEST_SKIP() << "chmcmd is not installed: no Ravelin.chm";
  const std::string chm = ReadText(kHelpFile);
  ASSERT_GT(chm.size(), 4u);
  EXPECT_EQ(chm.substr(0, 4), "ITSF");
  // The directory chunks keep every stored name in plain text.
  for (const std::string& page : Pages()) {
    EXPECT_NE(chm.find("/" + page), std::string::npos) << page;
  }
  for (const char* name : {"/help.css", "/Ravelin.hhc", "/Ravelin.hhk", "/#SYSTEM"}) {
    EXPECT_NE(chm.find(name), std::string::npos) << name;
  }
}
