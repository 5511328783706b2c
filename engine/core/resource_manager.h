#pragma once
// The engine's store of named resources. A name's three string hashes are tried in turn,
// and the first not yet used as an id becomes the resource's id, which the rest of the
// engine uses instead of the name. A record says where the bytes live and what type they
// are; the data loads at registration or on first use: pictures through the picture
// import, ".pps" pictures with their named palettes, palettes into the named-palette
// table, scripts through the script engine, everything else as raw bytes.
//
// Names are UTF-8 here and hashed over their GBK bytes, so ids are those the game's data
// was made with. A name collision, or a resource that cannot load when it is needed, is
// fatal: a log line, a message box, everything released, exit code 1.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/cursor.h"
#include "engine/render/global_palette.h"
#include "engine/render/picture.h"
#include "engine/render/text_layout.h"
#include "platform/core/audio.h"

namespace hqlv::engine {

class ScriptEngine;

// The string hashes, over raw bytes (RS and JS read them signed, BKDR unsigned).
uint32_t RSHash(std::string_view bytes);
uint32_t JSHash(std::string_view bytes);
uint32_t BKDRHash(std::string_view bytes);
// The same over the GBK form of a UTF-8 name.
uint32_t RSHashName(std::string_view utf8);

// Type hashes (RSHash of the pseudo-extension).
constexpr uint32_t kTypeImage = 1397249876;    // ".imge"
constexpr uint32_t kTypeScript = 543995969;    // ".script"
constexpr uint32_t kTypeSound = 522717461;     // ".sound"
constexpr uint32_t kTypePalette = 1833991565;  // ".quad"
constexpr uint32_t kTypePps = 1612805297;      // ".pps"
constexpr uint32_t kTypeUnknown = 1766688376;  // ".unkown"

constexpr uint32_t kResLoadNow = 0x10;
constexpr uint32_t kFirstHandle = 19840323;

struct ResourceRecord {
    uint32_t id = 0;
    uint32_t key1 = 0;
    uint32_t key2 = 0;
    uint32_t extensionHash = 0;
    uint32_t typeHash = 0;
    uint32_t flags = 0;
    std::string path;
    uint32_t offset = 0;
    uint32_t size = 0;  // 0: the whole file
    // What loaded: a picture for ".imge", the bytes for raw types; nothing for scripts and
    // palettes.
    std::unique_ptr<EnginePicture> picture;
    std::string bytes;
    bool loaded = false;
    bool hasData() const { return loaded; }
};

// What a loaded record holds: the picture of a ".imge" record or the bytes of a raw one;
// nothing for scripts, palettes and names that are not registered.
struct ResourceData {
    EnginePicture* picture = nullptr;
    std::string_view bytes;
};

// The extension of a picture stored inside a larger file, from its extension hash; ""
// when it is none of the picture extensions.
std::string ResTypeExtFromHash(uint32_t extensionHash);

class ResourceManager {
public:
    ResourceManager();
    ~ResourceManager();
    ResourceManager(const ResourceManager&) = delete;
    ResourceManager& operator=(const ResourceManager&) = delete;

    int AddUser() { return ++users_; }
    int GetUserCount() const { return users_; }
    // With two or more users only counts one off; else frees everything (the manager stays
    // usable).
    void ReleaseAll();

    size_t SetRootDir(std::string_view folder);
    const std::string& GetRootDir() const { return root_; }
    void SetScriptEngine(ScriptEngine* engine) { script_ = engine; }
    ScriptEngine* GetScriptEngine() const { return script_; }
    // The engine's shared text layout, made and destroyed with the manager.
    TextLayout& GetTextLayout() { return textLayout_; }

    // Registration. The key is the alias, else the file's title, followed by the type
    // (".imge"); path mode 1 puts the root folder in front and lower-cases the ASCII
    // letters.
    uint32_t LoadImage(std::string_view file, std::string_view alias, std::string_view type,
                       bool loadNow, int pathMode);
    uint32_t AddResourceHashed(std::string_view key, std::string_view path, uint32_t flags,
                               uint32_t typeHash, uint32_t extensionHash, uint32_t offset,
                               uint32_t size);
    uint32_t AddResource(uint32_t rs, uint32_t js, uint32_t bkdr, std::string_view path,
                         uint32_t flags, uint32_t typeHash, uint32_t extensionHash, uint32_t offset,
                         uint32_t size);
    // The type hash of a lower-case extension with its dot (".png" → ".imge"); 0 when none.
    uint32_t TypeOfExtension(std::string_view extension) const;

    // Lookups; 0 or null when nothing is registered.
    bool HasId(uint32_t id) const { return records_.count(id) != 0; }
    uint32_t MatchId(uint32_t id, uint32_t k1, uint32_t k2) const;
    uint32_t FindIdByName(std::string_view key) const;
    uint32_t FindImageId(std::string_view name) const;
    // Loads on demand; a load that fails is fatal.
    ResourceRecord* GetRecord(uint32_t id);
    EnginePicture* GetPicture(uint32_t id);
    ResourceRecord* LockResourceByName(std::string_view key);
    // The record's data, loaded on demand like GetRecord; GetResource is the same.
    ResourceData GetData(uint32_t id);
    ResourceData GetResource(uint32_t id) { return GetData(id); }
    ResourceData GetDataByName(std::string_view key);
    EnginePicture* GetImageByName(std::string_view name);
    const GlobalPalette* FindGlobalPalette(std::string_view name) const;
    // The cursor kept under the name; null when none is.
    CursorHandle GetCursorByName(std::string_view name) const;
    // Keeps a cursor under a name (a name given again takes the new one). False, and
    // nothing kept, for an empty name or a cursor that is neither a system cursor nor a
    // whole picture with its hot spot on it.
    bool RegisterCursor(std::string_view name, const EngineCursor& cursor);
    size_t GetCursorCount() const { return cursors_.size(); }

    size_t GetResourceCount() const { return records_.size(); }
    size_t GetPaletteCount() const { return palettes_.size(); }
    size_t GetSampleCount() const { return samples_.size(); }

    bool LoadResource(ResourceRecord& record);
    // Exactly the bytes read: the whole file from offset when size is 0, else size bytes
    // from offset, fewer when the file ends first, none when the offset lies at or past its
    // end; size becomes the count read. False, with a log line, only when the file cannot be
    // read.
    bool ReadData(const std::string& path, uint32_t offset, uint32_t& size, std::string* out);
    void UnloadResource(uint32_t id);
    void ReleaseResource(uint32_t id);

    // Blocks of memory tracked by the manager (zeroed), freed through their routine (plain
    // delete when none) by ReleaseMemRes or ReleaseAll. ReleaseMemRes returns the block's
    // size, 0 for a block not in the list (which is deleted all the same).
    using FreeRoutine = std::function<void(void*)>;
    void* NewMemRes(size_t size, FreeRoutine free);
    size_t ReleaseMemRes(void* block);
    size_t GetMemResBytes() const;

    uint32_t NewHandle();
    // Forgets every handle given out; the array keeps its room.
    void ClearHandles() { handleCount_ = 0; }
    // The handles given out since the last clearing, and the room the array has for them
    // (10 at first, doubled whenever it is full).
    size_t GetHandleCount() const { return handleCount_; }
    size_t GetHandleCapacity() const { return handles_.size(); }

    // Never returns: log line, message box, everything released, exit code 1.
    [[noreturn]] void FatalResourceError(const std::string& text);

    // Sound samples by name (see SoundPlayer).
    platform::SampleId FindSample(const std::string& name) const;
    platform::SampleId LoadSample(const std::string& path);
    platform::SampleId LoadSampleFromProgramResource(int id, const std::string& key);
    // Samples are offered only when the audio service has them; then the sound calls use
    // them instead of the wave fallback.
    bool LoadSampleLibrary();
    bool SampleLibraryLoaded() const { return samplesLoaded_; }
    // The sample library's state word: bit 0 loaded (there is no older generation here).
    uint32_t GetBassState() const { return samplesLoaded_ ? 1u : 0u; }
    void FreeSampleLibrary();

    // The message box of the fatal path; the client installs its own, the default writes a
    // diagnostics line. Returns the previous one.
    using MessageBoxHook = std::function<void(const std::string& text)>;
    static MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
    // How running out of memory asks the program to end (after its message box).
    using QuitHook = std::function<void()>;
    static QuitHook SetQuitHook(QuitHook hook);

private:
    bool LoadImageData(ResourceRecord& record);
    bool LoadScriptResource(ResourceRecord& record);
    bool LoadGlobalPalette(ResourceRecord& record);
    void FreeResourceData(ResourceRecord& record);
    ResourceRecord* FindByName(std::string_view key);

    std::map<uint32_t, ResourceRecord> records_;
    std::map<uint32_t, uint32_t> extensions_;  // RSHash(extension) → type hash
    std::map<std::string, platform::SampleId> samples_;
    std::map<std::string, std::unique_ptr<GlobalPalette>> palettes_;
    std::map<std::string, CursorHandle, std::less<>> cursors_;
    static constexpr size_t kInitialHandleRoom = 10;
    std::vector<uint32_t> handles_ = std::vector<uint32_t>(kInitialHandleRoom);
    size_t handleCount_ = 0;
    struct MemBlock {
        void* block;
        size_t size;
        FreeRoutine free;
    };
    std::vector<MemBlock> blocks_;
    TextLayout textLayout_;
    std::string root_;
    ScriptEngine* script_ = nullptr;
    int users_ = 0;
    bool samplesLoaded_ = false;
    std::recursive_mutex lock_;
};

// The process's manager, made on first use.
ResourceManager& GetResourceManager();

}  // namespace hqlv::engine
