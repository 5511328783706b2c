#include "engine/core/resource_manager.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/core/block_pool.h"
#include "engine/core/engine_log.h"
#include "engine/core/picture_import.h"
#include "engine/core/script_engine.h"
#include "engine/render/pps.h"
#include "platform/core/diag.h"
#include "platform/core/files.h"
#include "platform/core/text.h"

namespace hqlv::engine {

uint32_t RSHash(std::string_view bytes) {
    uint32_t h = 0, a = 63689;
    for (char ch : bytes) {
        h = h * a + uint32_t(int32_t(static_cast<signed char>(ch)));
        a *= 378551;
    }
    return h & 0x7FFFFFFF;
}

uint32_t JSHash(std::string_view bytes) {
    uint32_t h = 1315423911;
    for (char ch : bytes)
        h ^= (h << 5) + uint32_t(int32_t(static_cast<signed char>(ch))) + (h >> 2);
    return h & 0x7FFFFFFF;
}

uint32_t BKDRHash(std::string_view bytes) {
    uint32_t h = 0;
    for (char ch : bytes) h = h * 31 + static_cast<unsigned char>(ch);
    return h;
}

uint32_t RSHashName(std::string_view utf8) {
    return RSHash(platform::utf8ToGbk(utf8));
}

std::string ResTypeExtFromHash(uint32_t extensionHash) {
    static constexpr std::string_view kPictureExtensions[] = {".pps", ".bmp", ".png",  ".gif",
                                                              ".jpg", ".ico", ".tga",  ".tif",
                                                              ".mng", ".pcx", ".wbmp", ".wmf"};
    for (std::string_view ext : kPictureExtensions) {
        if (RSHash(ext) == extensionHash) return std::string(ext);
    }
    return {};
}

namespace {

ResourceManager::MessageBoxHook& boxHook() {
    static ResourceManager::MessageBoxHook hook;
    return hook;
}

ResourceManager::QuitHook& quitHook() {
    static ResourceManager::QuitHook hook;
    return hook;
}

struct ExtensionRow {
    std::string_view extension;
    std::string_view type;
};
constexpr ExtensionRow kExtensionRows[] = {
    {".pps", ".imge"},   {".png", ".imge"},   {".jpg", ".imge"},   {".gif", ".imge"},
    {".bmp", ".imge"},   {".mng", ".imge"},   {".ico", ".imge"},   {".tga", ".imge"},
    {".tif", ".imge"},   {".pcx", ".imge"},   {".wbmp", ".imge"},  {".wmf", ".imge"},
    {".mp3", ".sound"},  {".wav", ".sound"},  {".ogg", ".sound"},  {".mid", ".sound"},
    {".txt", ".text"},   {".doc", ".text"},   {".ini", ".ini"},    {".xyi", ".ini"},
    {".avi", ".vedio"},  {".rm", ".vedio"},   {".rmvb", ".vedio"}, {".mpeg", ".vedio"},
    {".xys", ".script"}, {".lua", ".script"}, {".swf", ".flash"},  {".flv", ".flash"},
    {".htm", ".http"},   {".asp", ".http"},   {".html", ".http"},  {".aspx", ".http"},
    {".jsp", ".http"},   {".php", ".http"},   {".cgi", ".http"},
};

void freeBlock(void* block, const ResourceManager::FreeRoutine& free) {
    if (free) {
        free(block);
    } else {
        ::operator delete(block);
    }
}

std::string_view asText(const std::string& bytes) {
    return bytes;
}

}  // namespace

ResourceManager::MessageBoxHook ResourceManager::SetMessageBoxHook(MessageBoxHook hook) {
    std::swap(hook, boxHook());
    return hook;
}

ResourceManager::QuitHook ResourceManager::SetQuitHook(QuitHook hook) {
    std::swap(hook, quitHook());
    return hook;
}

ResourceManager::ResourceManager() : root_(GetModuleFolder()) {
    for (const ExtensionRow& row : kExtensionRows)
        extensions_[RSHash(row.extension)] = RSHash(row.type);
}

ResourceManager::~ResourceManager() {
    // At exit the audio service may be gone already; the samples die with the device.
    samples_.clear();
    samplesLoaded_ = false;
    users_ = 0;
    ReleaseAll();
}

uint32_t ResourceManager::TypeOfExtension(std::string_view extension) const {
    auto it = extensions_.find(RSHash(extension));
    return it == extensions_.end() ? 0 : it->second;
}

void ResourceManager::ReleaseAll() {
    if (users_ >= 2) {
        --users_;
        return;
    }
    users_ = 0;
    ClearHandles();
    for (auto& [id, record] : records_) FreeResourceData(record);
    if (samplesLoaded_) FreeSampleLibrary();
    records_.clear();
    palettes_.clear();
    cursors_.clear();
    std::vector<MemBlock> blocks = std::move(blocks_);
    blocks_.clear();
    for (MemBlock& b : blocks) freeBlock(b.block, b.free);
}

size_t ResourceManager::SetRootDir(std::string_view folder) {
    root_ = folder;
    return root_.size();
}

uint32_t ResourceManager::LoadImage(std::string_view file, std::string_view alias,
                                    std::string_view type, bool loadNow, int pathMode) {
    const uint32_t flags = loadNow ? kResLoadNow : 0;
    const std::string extension = SplitFileExtension(file);
    std::string key = alias.empty() ? SplitFileTitle(file) : std::string(alias);
    key += type;
    std::string path(file);
    if (pathMode == 1) {
        path = root_ + path;
        ToLowerAscii(path);
    }
    return AddResourceHashed(key, path, flags, RSHash(type), RSHash(extension), 0, 0);
}

uint32_t ResourceManager::AddResourceHashed(std::string_view key, std::string_view path,
                                            uint32_t flags, uint32_t typeHash,
                                            uint32_t extensionHash, uint32_t offset,
                                            uint32_t size) {
    const std::string gbk = platform::utf8ToGbk(key);
    return AddResource(RSHash(gbk), JSHash(gbk), BKDRHash(gbk), path, flags, typeHash,
                       extensionHash, offset, size);
}

uint32_t ResourceManager::AddResource(uint32_t rs, uint32_t js, uint32_t bkdr,
                                      std::string_view path, uint32_t flags, uint32_t typeHash,
                                      uint32_t extensionHash, uint32_t offset, uint32_t size) {
    // The same key registered before under its first hash is replaced. A record of the key
    // that took its second or third hash stays: the new one takes the next free hash, and
    // a lookup by name finds the first of them in the rotation's order.
    if (uint32_t old = MatchId(rs, js, bkdr)) ReleaseResource(old);
    ResourceRecord record;
    if (!HasId(rs)) {
        record.id = rs, record.key1 = js, record.key2 = bkdr;
    } else if (!HasId(js)) {
        record.id = js, record.key1 = bkdr, record.key2 = rs;
    } else if (!HasId(bkdr)) {
        record.id = bkdr, record.key1 = rs, record.key2 = js;
    } else {
        const std::string line = "资源名哈希冲突" + std::string(path) +
                                 ",resID:" + std::to_string(rs) + ",key1:" + std::to_string(js) +
                                 ",key2:" + std::to_string(bkdr);
        WriteLogText(line);
        FatalResourceError(line);
    }
    record.path = path;
    record.flags = flags;
    record.typeHash = typeHash;
    record.extensionHash = extensionHash;
    record.offset = offset;
    record.size = size;
    const uint32_t id = record.id;
    ResourceRecord& stored = records_[id] = std::move(record);
    if ((flags & kResLoadNow) && !LoadResource(stored)) FatalResourceError(stored.path);
    return id;
}

uint32_t ResourceManager::MatchId(uint32_t id, uint32_t k1, uint32_t k2) const {
    auto it = records_.find(id);
    if (it == records_.end() || it->second.key1 != k1 || it->second.key2 != k2) return 0;
    return id;
}

uint32_t ResourceManager::FindIdByName(std::string_view key) const {
    const std::string gbk = platform::utf8ToGbk(key);
    const uint32_t rs = RSHash(gbk), js = JSHash(gbk), bkdr = BKDRHash(gbk);
    if (uint32_t id = MatchId(rs, js, bkdr)) return id;
    if (uint32_t id = MatchId(js, bkdr, rs)) return id;
    return MatchId(bkdr, rs, js);
}

uint32_t ResourceManager::FindImageId(std::string_view name) const {
    return FindIdByName(std::string(name) + ".imge");
}

ResourceRecord* ResourceManager::GetRecord(uint32_t id) {
    auto it = records_.find(id);
    if (it == records_.end()) return nullptr;
    ResourceRecord& record = it->second;
    if (!(record.flags & kResLoadNow) && !LoadResource(record)) FatalResourceError(record.path);
    return &record;
}

EnginePicture* ResourceManager::GetPicture(uint32_t id) {
    ResourceRecord* record = GetRecord(id);
    return record ? record->picture.get() : nullptr;
}

ResourceRecord* ResourceManager::LockResourceByName(std::string_view key) {
    std::lock_guard guard(lock_);
    const uint32_t id = FindIdByName(key);
    return id ? GetRecord(id) : nullptr;
}

namespace {
ResourceData DataOf(ResourceRecord* record) {
    ResourceData d;
    if (!record) return d;
    d.picture = record->picture.get();
    if (!d.picture && record->loaded) d.bytes = record->bytes;
    return d;
}
}  // namespace

ResourceData ResourceManager::GetData(uint32_t id) {
    return DataOf(GetRecord(id));
}

ResourceData ResourceManager::GetDataByName(std::string_view key) {
    return DataOf(LockResourceByName(key));
}

EnginePicture* ResourceManager::GetImageByName(std::string_view name) {
    ResourceRecord* record = LockResourceByName(std::string(name) + ".imge");
    return record ? record->picture.get() : nullptr;
}

const GlobalPalette* ResourceManager::FindGlobalPalette(std::string_view name) const {
    auto it = palettes_.find(std::string(name));
    return it == palettes_.end() ? nullptr : it->second.get();
}

bool EngineCursor::IsValid() const {
    if (systemId != 0) return true;
    // A hot spot on the picture also means the picture has a size.
    return hotX >= 0 && hotX < width && hotY >= 0 && hotY < height && width <= kMaxCursorSide &&
           height <= kMaxCursorSide && pixels.size() == size_t(width) * size_t(height);
}

CursorHandle ResourceManager::GetCursorByName(std::string_view name) const {
    auto it = cursors_.find(name);
    return it == cursors_.end() ? nullptr : it->second;
}

bool ResourceManager::RegisterCursor(std::string_view name, const EngineCursor& cursor) {
    if (name.empty() || !cursor.IsValid()) return false;
    cursors_.insert_or_assign(std::string(name), std::make_shared<const EngineCursor>(cursor));
    return true;
}

bool ResourceManager::LoadResource(ResourceRecord& record) {
    if (record.loaded) return true;
    if (record.typeHash == kTypeImage) return LoadImageData(record);
    if (record.typeHash == kTypeScript) return LoadScriptResource(record);
    if (record.typeHash == kTypePalette) return LoadGlobalPalette(record);
    // Raw bytes; a read that fails leaves the record empty and is tried again next time.
    record.loaded = ReadData(record.path, record.offset, record.size, &record.bytes);
    return true;
}

bool ResourceManager::ReadData(const std::string& path, uint32_t offset, uint32_t& size,
                               std::string* out) {
    out->clear();
    std::string file;
    if (path.empty() || !platform::readFile(path, &file)) {
        WriteLog("文件%s 打开失败!", path.c_str());
        return false;
    }
    // Only what was really read counts: a size past the end of the file gives fewer bytes,
    // and an offset past it none.
    if (offset > file.size()) offset = uint32_t(file.size());
    *out = size == 0 ? file.substr(offset) : file.substr(offset, size);
    size = uint32_t(out->size());
    return true;
}

bool ResourceManager::LoadImageData(ResourceRecord& record) {
    record.picture = std::make_unique<EnginePicture>();
    EnginePicture& pic = *record.picture;
    pic.resourceId = record.id;
    pic.key = kNoColour;
    pic.flags = PIC_KEYED;
    record.loaded = true;  // a half-made picture stays; the caller treats failure as fatal
    if (record.extensionHash == kTypePps) {
        std::string bytes;
        if (!ReadData(record.path, record.offset, record.size, &bytes)) return false;
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
        if (ParsePpsHeader({p, bytes.size()}, pic) == 0) return false;
        pic.resourceId = record.id;
        if (pic.flags & PIC_GLOBAL_PALETTE) {
            return BindPpsPalette(pic, FindGlobalPalette(pic.paletteName));
        }
        return true;
    }
    PictureImporter importer;
    if (record.size != 0) {
        std::string bytes;
        const bool ok = ReadData(record.path, record.offset, record.size, &bytes) &&
                        importer.DecodeImageByExtension(
                            {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()},
                            ResTypeExtFromHash(record.extensionHash), pic);
        if (!ok) {
            WriteLog("资源包图片%d,%d,%d加载失败!", int32_t(record.id), int32_t(record.key1),
                     int32_t(record.key2));
        }
        return ok;
    }
    if (!importer.DecodeImageFile(record.path, SplitFileExtension(record.path), pic)) {
        WriteLog("图片%s加载失败!", record.path.c_str());
        return false;
    }
    return true;
}

bool ResourceManager::LoadScriptResource(ResourceRecord& record) {
    if (!script_) return false;
    std::string bytes;
    uint32_t size = record.size;
    if (!ReadData(record.path, record.offset, size, &bytes)) return false;
    // Scripts are compiled on every lookup: nothing of them is kept as data.
    return script_->LoadScript(ValueString(std::move(bytes), kValueText), 0) != -1;
}

bool ResourceManager::LoadGlobalPalette(ResourceRecord& record) {
    std::string bytes;
    uint32_t size = record.size;
    if (!ReadData(record.path, record.offset, size, &bytes)) return false;
    auto palette = std::make_unique<GlobalPalette>();
    palette->Load({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    // An existing name keeps its palette: pictures may point at its entries.
    palettes_.try_emplace(palette->name(), std::move(palette));
    return true;
}

void ResourceManager::FreeResourceData(ResourceRecord& record) {
    // Every engine picture, whatever file it came from, is released by the picture format's
    // own release routine (a shared palette stays with its table).
    if (record.picture) FreePpsImage(*record.picture);
    record.picture.reset();
    record.bytes.clear();
    record.bytes.shrink_to_fit();
    record.loaded = false;
    record.flags &= ~kResLoadNow;
}

void ResourceManager::UnloadResource(uint32_t id) {
    auto it = records_.find(id);
    if (it != records_.end()) FreeResourceData(it->second);
}

void ResourceManager::ReleaseResource(uint32_t id) {
    auto it = records_.find(id);
    if (it == records_.end()) return;
    FreeResourceData(it->second);
    records_.erase(it);
}

void* ResourceManager::NewMemRes(size_t size, FreeRoutine free) {
    void* block = ::operator new(size, std::nothrow);
    if (!block) {
        WriteLog("ResourceManager::NewMemRes,内存申请失败");
        if (boxHook()) {
            boxHook()("内存不足!请重新启动您的电脑。");
        } else {
            platform::diag("内存不足!请重新启动您的电脑。");
        }
        if (quitHook()) quitHook()();
        return nullptr;
    }
    std::memset(block, 0, size);
    blocks_.push_back({block, size, std::move(free)});
    return block;
}

size_t ResourceManager::ReleaseMemRes(void* block) {
    for (auto it = blocks_.begin(); it != blocks_.end(); ++it) {
        if (it->block != block) continue;
        MemBlock found = std::move(*it);
        blocks_.erase(it);
        freeBlock(found.block, found.free);
        return found.size;
    }
    ::operator delete(block);
    return 0;
}

size_t ResourceManager::GetMemResBytes() const {
    size_t total = 0;
    for (const MemBlock& b : blocks_) total += b.size;
    return total;
}

uint32_t ResourceManager::NewHandle() {
    const uint32_t handle = handleCount_ == 0 ? kFirstHandle : handles_[handleCount_ - 1] + 1;
    // A full array doubles (it starts with room for ten and never shrinks).
    if (handleCount_ == handles_.size()) GrowBuffer(handles_, 0);
    handles_[handleCount_++] = handle;
    return handle;
}

void ResourceManager::FatalResourceError(const std::string& text) {
    WriteLog("资源载入错误:%s未找到", text.c_str());
    const std::string box = "资源:" + text + "未能正确的载入,请重新下载游戏!";
    if (boxHook()) {
        boxHook()(box);
    } else {
        platform::diag(box);
    }
    ReleaseAll();
    // A failure: whoever started the program must not read it as a clean end.
    std::exit(1);
}

platform::SampleId ResourceManager::FindSample(const std::string& name) const {
    if (!samplesLoaded_) return 0;
    auto it = samples_.find(name);
    return it == samples_.end() ? 0 : it->second;
}

bool ResourceManager::LoadSampleLibrary() {
    if (!samplesLoaded_) samplesLoaded_ = platform::audio()->offersSamples();
    return samplesLoaded_;
}

void ResourceManager::FreeSampleLibrary() {
    auto service = platform::audio();
    for (auto& [name, id] : samples_) service->freeSample(id);
    samples_.clear();
    samplesLoaded_ = false;
}

platform::SampleId ResourceManager::LoadSample(const std::string& path) {
    // After the samples were freed nothing would free a new one: a player still enabled
    // plays nothing until the samples are offered again.
    if (!samplesLoaded_) return 0;
    auto service = platform::audio();
    const std::string extension = SplitFileExtension(path);
    platform::SampleId id = 0;
    auto fromResource = [&] {
        const uint32_t recordId = FindIdByName(SplitFileTitle(path) + ".sound");
        ResourceRecord* record =
            recordId ? LockResourceByName(SplitFileTitle(path) + ".sound") : nullptr;
        if (!record) return platform::SampleId(0);
        const platform::SampleId loaded = service->loadSampleBytes(asText(record->bytes));
        UnloadResource(recordId);
        return loaded;
    };
    if (extension == ".wav" || extension == ".mp3" || extension == ".ogg") {
        id = service->loadSampleFile(path);
    } else if (extension == ".sound") {
        id = service->loadSampleFile(path);
        if (!id) id = fromResource();
    } else if (extension.empty()) {
        id = fromResource();
    }
    if (id) samples_[path] = id;
    return id;
}

platform::SampleId ResourceManager::LoadSampleFromProgramResource(int id, const std::string& key) {
    if (!samplesLoaded_) return 0;
    std::string bytes;
    if (!platform::readFile(platform::resourceSoundPath(id), &bytes)) return 0;
    const platform::SampleId sample = platform::audio()->loadSampleBytes(bytes);
    if (sample) samples_[key] = sample;
    return sample;
}

ResourceManager& GetResourceManager() {
    static ResourceManager manager;
    return manager;
}

}  // namespace hqlv::engine
