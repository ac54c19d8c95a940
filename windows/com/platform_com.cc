// Late binding to the sync manager's objects.
//
// Calls go through windows/com/late_bound.h; arguments the platform writes
// back are passed as VT_BYREF|VT_VARIANT, so the platform may answer with
// whatever type it likes. A failing call becomes a ConduitError with the
// platform's own number and description, which is what the run's log line
// then shows.
#include "windows/com/platform_com.h"

#include <windows.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "conduit/conduit_info.h"
#include "os/win_handles_win.h"
#include "windows/com/com_glue.h"
#include "windows/com/com_raii.h"
#include "windows/com/late_bound.h"

namespace bolvarin::com {

namespace {

// The platform's classes and their ProgIDs: the one place to change them.
// The record adapter is not created here but named to the platform when a
// database is opened (kRecordAdapterProgId).
struct PlatformClass {
  const char* name;
  const char* progId;
};
constexpr PlatformClass kPlatformClasses[] = {
    {"PlatformSystem", kPlatformSystemProgId},
    {"ConduitServices", kConduitServicesProgId},
    {"PlatformUtility", kPlatformUtilityProgId},
    {"HXRecordAdapter", kRecordAdapterProgId},
};

constexpr int32_t kCannotCreateObject = 429;  // the class is not registered or fails to start

using Arg = LateArg;
using Object = LateBound;

// Creates the platform object `name` of the table from its ProgID.
ComPtr<IDispatch> Create(std::string_view name) {
  const PlatformClass* found = nullptr;
  for (const PlatformClass& c : kPlatformClasses) {
    if (name == c.name) found = &c;
  }
  if (found == nullptr)
    Raise(err::kInvalidArgument, "No platform class is named " + std::string(name));
  const PlatformClass& cls = *found;
  ComPtr<IDispatch> object;
  const HRESULT hr = CreateByProgId(cls.progId, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, object);
  if (FAILED(hr)) {
    const std::string reason = hr == CO_E_CLASSSTRING || hr == REGDB_E_CLASSNOTREG
                                   ? "the class is not registered on this machine"
                                   : win::ErrorMessage(static_cast<DWORD>(hr));
    Raise(kCannotCreateObject, std::string("Cannot create the platform's ") + cls.name + " (\"" +
                                   cls.progId + "\"): " + reason);
  }
  return object;
}

class DispSyncContext : public SyncContext {
 public:
  explicit DispSyncContext(ComPtr<IDispatch> d) : o_(std::move(d), "The platform's SyncContext") {}
  int32_t SyncTypeCode() override { return o_.Value("SyncTypeCode").AsInt32(); }
  std::string DesktopPath() override { return o_.Value("DesktopPath").AsText(); }
  std::string DesktopFileName() override { return o_.Value("DesktopFileName").AsText(); }
  int16_t DatabaseCount() override {
    return static_cast<int16_t>(o_.Value("DatabaseCount").AsInt32());
  }
  std::vector<std::string> DatabaseNames() override {
    Variant v = o_.Call("DatabaseNames");
    return TextsOf(*v.get(), "The platform's list of database names");
  }
  int32_t CreatorCode() override { return o_.Value("CreatorCode").AsInt32(); }
  int32_t TypeCode() override { return o_.Value("TypeCode").AsInt32(); }

 private:
  Object o_;
};

class DispCategories : public HandheldCategories {
 public:
  explicit DispCategories(ComPtr<IDispatch> d)
      : o_(std::move(d), "The platform's HandheldCategories") {}
  void Commit() override { o_.Call("Commit"); }
  void ResetDirtyFlags() override { o_.Call("ResetDirtyFlags"); }
  std::string Name(int32_t index) override {
    Arg i(index);
    return o_.Value("Name", {&i}).AsText();
  }
  void SetName(int32_t index, const std::string& name) override {
    Arg i(index), v(name);
    o_.Put("Name", {&i, &v});
  }
  int32_t ID(int32_t index) override {
    Arg i(index);
    return o_.Value("ID", {&i}).AsInt32();
  }
  void SetID(int32_t index, uint8_t id) override {
    Arg i(index), v(static_cast<int32_t>(id));
    o_.Put("ID", {&i, &v});
  }
  bool Dirty(int32_t index) override {
    Arg i(index);
    TaggedValue v = o_.Value("Dirty", {&i});
    return v.kind() == TaggedValue::Kind::kBool ? v.AsBool() : v.AsInt32() != 0;
  }
  void SetDirty(int32_t index, bool dirty) override {
    Arg i(index), v(dirty);
    o_.Put("Dirty", {&i, &v});
  }
  void SetLastIndex(int32_t index) override {
    Arg v(index);
    o_.Put("LastIndex", {&v});
  }

 private:
  Object o_;
};

bool IsTrue(const TaggedValue& v) {
  return v.kind() == TaggedValue::Kind::kBool ? v.AsBool() : v.AsInt32() != 0;
}

class DispRecordAdapter : public HXRecordAdapter {
 public:
  explicit DispRecordAdapter(ComPtr<IDispatch> d)
      : o_(std::move(d), "The platform's HXRecordAdapter") {}
  void SetReadPosition(int32_t position) override {
    Arg v(position);
    o_.Put("ReadPosition", {&v});
  }
  Bytes ReadNext(int32_t n, TaggedValue& vRecordId, int32_t& nCategory,
                 int32_t& eAttributes) override {
    Variant id, category, attributes;
    Arg count(n), a = Arg::Ref(id), b = Arg::Ref(category), c = Arg::Ref(attributes);
    TaggedValue data = o_.Value("ReadNext", {&count, &a, &b, &c});
    vRecordId = FromVariant(*id.get());
    nCategory = FromVariant(*category.get()).AsInt32();
    eAttributes = FromVariant(*attributes.get()).AsInt32();
    if (data.IsEmpty()) return {};
    return data.AsBytes();
  }
  bool AtEnd() override { return IsTrue(o_.Value("AtEnd")); }
  void WriteRecord(TaggedValue& vRecordId, int32_t lngCategory, int32_t eAttributes,
                   const Bytes& pData) override {
    Variant id = ToVariant(vRecordId);
    Arg a = Arg::Ref(id), b(lngCategory), c(eAttributes), d(TaggedValue::FromBytes(pData));
    o_.Call("WriteRecord", {&a, &b, &c, &d});
    vRecordId = FromVariant(*id.get());
  }
  void RemoveRecord(const TaggedValue& vRecordId) override {
    Arg a(vRecordId);
    o_.Call("RemoveRecord", {&a});
  }
  void RemoveSet(int32_t selector, int32_t mask) override {
    Arg a(selector), b(mask);
    o_.Call("RemoveSet", {&a, &b});
  }
  std::shared_ptr<HandheldCategories> Categories() override {
    return std::make_shared<DispCategories>(o_.ObjectOf("Categories"));
  }

 private:
  Object o_;
};

class DispConduitServices : public ConduitServices {
 public:
  explicit DispConduitServices(ComPtr<IDispatch> d)
      : o_(std::move(d), "The platform's ConduitServices") {}
  void AddLogEntry(const std::string& text, int32_t a, int32_t b, int32_t c) override {
    Arg t(text), x(a), y(b), z(c);
    o_.Call("AddLogEntry", {&t, &x, &y, &z});
  }
  std::shared_ptr<HXRecordAdapter> OpenDatabase(const std::string& name, const std::string& progId,
                                                int32_t mode) override {
    Arg a(name), b(progId), c(mode);
    return std::make_shared<DispRecordAdapter>(o_.ObjectOf("OpenDatabase", {&a, &b, &c}));
  }
  std::shared_ptr<HXRecordAdapter> CreateDatabase(const std::string& name,
                                                  const std::string& progId,
                                                  const TaggedValue& creator,
                                                  const TaggedValue& type, int32_t mode, int32_t a,
                                                  int32_t b, int32_t c) override {
    Arg n(name), p(progId), cr(creator), t(type), m(mode), x(a), y(b), z(c);
    return std::make_shared<DispRecordAdapter>(
        o_.ObjectOf("CreateDatabase", {&n, &p, &cr, &t, &m, &x, &y, &z}));
  }

 private:
  Object o_;
};

class DispPlatformUtility : public PlatformUtility {
 public:
  explicit DispPlatformUtility(ComPtr<IDispatch> d)
      : o_(std::move(d), "The platform's PlatformUtility") {}
  std::string CodeToText(int32_t code, int32_t flag) override {
    Arg a(code), b(flag);
    return o_.Value("CodeToText", {&a, &b}).AsText();
  }
  std::string RecordIdToText(const TaggedValue& vRecordId) override {
    Arg a(vRecordId);
    return o_.Value("RecordIdToText", {&a}).AsText();
  }
  TaggedValue TextToRecordId(const std::string& text) override {
    Arg a(text);
    return o_.Value("TextToRecordId", {&a});
  }

 private:
  Object o_;
};

class DispPlatformSystem : public PlatformSystem {
 public:
  explicit DispPlatformSystem(ComPtr<IDispatch> d)
      : o_(std::move(d), "The platform's PlatformSystem") {}
  std::shared_ptr<SyncContext> GetSyncContext() override {
    return std::make_shared<DispSyncContext>(o_.ObjectOf("GetSyncContext"));
  }
  void ReadPreference(const TaggedValue& creator, int32_t number, bool flag, int32_t& version,
                      TaggedValue& data) override {
    Variant v, d;
    Arg a(creator), b(number), c(flag), e = Arg::Ref(v), f = Arg::Ref(d);
    o_.Call("ReadPreference", {&a, &b, &c, &e, &f});
    version = FromVariant(*v.get()).AsInt32();
    data = FromVariant(*d.get());
  }
  void WritePreference(const TaggedValue& creator, int32_t number, bool flag, int32_t version,
                       const TaggedValue& data) override {
    Arg a(creator), b(number), c(flag), e(version), f(data);
    o_.Call("WritePreference", {&a, &b, &c, &e, &f});
  }

 private:
  Object o_;
};

}  // namespace

std::shared_ptr<PlatformSystem> ComPlatform::NewPlatformSystem() {
  return std::make_shared<DispPlatformSystem>(Create("PlatformSystem"));
}

std::shared_ptr<ConduitServices> ComPlatform::NewConduitServices() {
  return std::make_shared<DispConduitServices>(Create("ConduitServices"));
}

std::shared_ptr<PlatformUtility> ComPlatform::NewPlatformUtility() {
  return std::make_shared<DispPlatformUtility>(Create("PlatformUtility"));
}

}  // namespace bolvarin::com
