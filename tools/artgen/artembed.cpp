// artembed: writes a C++ source that holds stored picture files as byte arrays.
//
//   artembed OUT.cpp DIR --main NAME... --other NAME...
//
// Each NAME is read from DIR/NAME.tdib. The source defines the two tables declared
// in resources/embedded_data.h: the main window's pictures in the given order, and
// the other pictures. The output is written beside and renamed into place, so an
// interrupted run never leaves half a source behind.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Picture {
  std::string name;
  std::vector<unsigned char> bytes;
};

bool ReadFile(const std::string& path, std::vector<unsigned char>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

void WriteArray(std::ostream& out, const Picture& p, std::size_t number) {
  out << "alignas(4) const std::uint8_t kPicture" << number << "[] = {  // " << p.name << ", "
      << p.bytes.size() << " bytes\n";
  for (std::size_t i = 0; i < p.bytes.size(); ++i) {
    out << static_cast<unsigned>(p.bytes[i]) << ',';
    if (i % 24 == 23 || i + 1 == p.bytes.size()) out << '\n';
  }
  out << "};\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5 || std::string(argv[3]) != "--main") {
    std::fprintf(stderr, "usage: artembed OUT.cpp DIR --main NAME... --other NAME...\n");
    return 2;
  }
  const std::string outPath = argv[1];
  const std::string dir = argv[2];
  std::vector<Picture> main;
  std::vector<Picture> other;
  std::vector<Picture>* into = &main;
  for (int i = 4; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--other") {
      into = &other;
      continue;
    }
    Picture p{arg, {}};
    if (!ReadFile(dir + "/" + arg + ".tdib", p.bytes) || p.bytes.empty()) {
      std::fprintf(stderr, "artembed: cannot read %s/%s.tdib\n", dir.c_str(), arg.c_str());
      return 1;
    }
    into->push_back(std::move(p));
  }

  std::ostringstream out;
  out << "// Made by artembed from the pictures that artgen paints. Do not edit.\n"
         "#include \"embedded_data.h\"\n\nnamespace resources::detail {\nnamespace {\n\n";
  std::size_t number = 0;
  for (const Picture& p : main) WriteArray(out, p, number++);
  for (const Picture& p : other) WriteArray(out, p, number++);
  out << "\n}  // namespace\n\n";
  number = 0;
  auto table = [&](const char* name, const std::vector<Picture>& pictures) {
    out << "const StoredPicture " << name << "[] = {\n";
    for (const Picture& p : pictures)
      out << "    {\"" << p.name << "\", std::span<const std::uint8_t>(kPicture" << number++ << ")},\n";
    out << "};\nconst std::size_t " << name << "Count = " << pictures.size() << ";\n\n";
  };
  table("kMainWindowPictures", main);
  if (other.empty()) {
    out << "const StoredPicture kOtherPictures[] = {{\"\", {}}};\nconst std::size_t kOtherPicturesCount = 0;\n";
  } else {
    table("kOtherPictures", other);
  }
  out << "}  // namespace resources::detail\n";

  const std::string temp = outPath + ".part";
  {
    std::ofstream file(temp, std::ios::binary | std::ios::trunc);
    file << out.str();
    if (!file.flush()) {
      std::fprintf(stderr, "artembed: cannot write %s\n", temp.c_str());
      std::remove(temp.c_str());
      return 1;
    }
  }
  if (std::rename(temp.c_str(), outPath.c_str()) != 0) {
    std::fprintf(stderr, "artembed: cannot rename %s to %s\n", temp.c_str(), outPath.c_str());
    std::remove(temp.c_str());
    return 1;
  }
  return 0;
}
