// vexlin-skin: draws the installer's pictures and packs the default skin.
//   vexlin-skin SKIN.TXT OUTDIR
// writes OUTDIR/skin/<name>.psp and OUTDIR/skin/skin-800.zip (skin.txt and the nineteen pictures),
// OUTDIR/setup/graphic-501.psp to graphic-503.psp and icon-500.ico, and OUTDIR/icons/vexlin.ico.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "ico_writer.h"
#include "psp_writer.h"
#include "skin_art.h"
#include "skin_table.h"
#include "zip_writer.h"

namespace {

const Color kRimEdge{6, 8, 18}; // shapes meet the desktop through a dark outline

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string error;
    if (!WriteZipFile(path, bytes, &error)) throw std::runtime_error(error);
}

std::vector<uint8_t> PspBytes(const SkinPictureSpec& entry, PspCompression compression) {
    const PspImage image =
        ToKeyedPsp(DrawSkinPicture(entry), std::string("Vexlin setup skin: ") + entry.name, kRimEdge);
    std::vector<uint8_t> bytes;
    std::string error;
    if (!WritePsp(image, compression, bytes, &error)) throw std::runtime_error(entry.name + (": " + error));
    return bytes;
}

std::vector<uint8_t> Icon(const std::string& which) {
    std::vector<IconImage> images;
    for (int size : {16, 32, 48}) {
        const Canvas c = DrawIcon(which, size);
        IconImage image;
        image.size = size;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const Color colour = c.At(x, y);
                const float alpha = std::clamp(c.AlphaAt(x, y), 0.0f, 1.0f);
                for (float v : {colour.r, colour.g, colour.b})
                    image.rgba.push_back(static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 255.0f))));
                image.rgba.push_back(static_cast<uint8_t>(std::lround(alpha * 255)));
            }
        images.push_back(std::move(image));
    }
    std::vector<uint8_t> bytes;
    std::string error;
    if (!WriteIco(images, bytes, &error)) throw std::runtime_error(error);
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) return std::fprintf(stderr, "usage: vexlin-skin SKIN.TXT OUTDIR\n"), 2;
    try {
        const std::string out = argv[2];
        std::ifstream in(argv[1], std::ios::binary);
        const std::vector<uint8_t> skinText((std::istreambuf_iterator<char>(in)),
                                            std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) throw std::runtime_error(std::string("cannot read ") + argv[1]);
        if (skinText.empty()) throw std::runtime_error(std::string(argv[1]) + " is empty");

        ZipWriter zip;
        std::string error;
        if (!zip.Add("skin.txt", skinText,
                     SkinMemberDeflated("skin.txt") ? ZipMethod::Deflated : ZipMethod::Stored, &error))
            throw std::runtime_error(error);
        for (const SkinPictureSpec& entry : SkinPictures()) {
            const std::string member = SkinMemberName(entry);
            const bool deflated = SkinMemberDeflated(member);
            // A deflated member is packed by the archive; a stored one packs its own channels.
            const std::vector<uint8_t> psp =
                PspBytes(entry, deflated ? PspCompression::None : PspCompression::RunLength);
            WriteBytes(out + "/skin/" + member, psp);
            if (!zip.Add(member, psp, deflated ? ZipMethod::Deflated : ZipMethod::Stored, &error))
                throw std::runtime_error(error);
        }
        WriteBytes(out + "/skin/skin-800.zip", zip.Finish());

        for (const SkinPictureSpec& entry : SetupPictures())
            WriteBytes(
                out + "/setup/" + SetupFileName(entry.id),
                PspBytes(entry, entry.id == 501 ? PspCompression::Deflate : PspCompression::RunLength));
        WriteBytes(out + "/setup/icon-500.ico", Icon("setup"));
        WriteBytes(out + "/icons/vexlin.ico", Icon("game"));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vexlin-skin: %s\n", e.what());
        return 1;
    }
    return 0;
}
