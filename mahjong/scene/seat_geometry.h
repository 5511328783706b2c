#pragma once
// CSeatGeometry: chair numbers (the server's seats, 0 to player count − 1) to view
// positions on the screen and back. View 3 is the own seat (bottom), 0 the next chair
// (left), 1 the opposite chair (top), 2 the previous chair (right), −1 none. The table
// scene, the table-drawing object and the deal state share it.
namespace hqlv::mahjong {

class CMJSceneHost;

class CSeatGeometry {
public:
    CSeatGeometry() = default;
    virtual ~CSeatGeometry() = default;

    void SetHost(CMJSceneHost* host) { m_pHost = host; }
    CMJSceneHost* GetHost() const { return m_pHost; }

    virtual void AdjacentViews(int view, int& a, int& b) const;
    virtual void OtherViews(int view, int& a, int& b) const;
    virtual int ViewToChair(int view) const;
    virtual int PrevView(int view) const;
    virtual int NextView(int view) const;
    virtual int OppositeChair(int chair) const;
    virtual int ChairToView(int chair) const;
    virtual int PrevChair(int chair) const;
    virtual int NextChair(int chair) const;
    virtual int GetTableViewWidth() const;
    virtual int GetTableViewHeight() const;
    virtual int PlaySoundRes(int id, int flags);

    // The own chair as the hall entry gives it (−1 without a host or before seating).
    int OwnChair() const;

    int GetPlayerCount() const { return m_nPlayerCount; }
    void SetPlayerCount(int n) { m_nPlayerCount = n; }
    int GetSceneValue2() const { return m_nValue2; }
    void SetSceneValue2(int v) { m_nValue2 = v; }
    int GetSceneValue3() const { return m_nValue3; }
    void SetSceneValue3(int v) { m_nValue3 = v; }
    int GetSceneMode() const { return m_nSceneMode; }
    void SetSceneMode(int v) { m_nSceneMode = v; }

protected:
    CMJSceneHost* m_pHost = nullptr;
    int m_nPlayerCount = 4;
    int m_nValue2 = 4;
    int m_nValue3 = 1;
    int m_nSceneMode = 0;
};

}  // namespace hqlv::mahjong
