#pragma once
#include <string>

class P25Class;

// A system folder loaded into a model without decoding, for the commands that change its
// names. The model borrows a site whose tower file the folder does not hold, so that the
// load reads no site's channels and the save's tower file of that site can go again: the
// command changes no tower file.
class FolderModel
{
public:
    // Loads the folder of sysId under dataFolder, which exists. False after saying why on
    // standard error; file warnings are told there too.
    bool Load(P25Class& model, const std::string& dataFolder, int sysId);
    // Saves the folder and deletes the borrowed site's tower file; false after saying why.
    bool Save(P25Class& model);

    int Rfss() const { return m_rfss; }
    int Site() const { return m_site; }

private:
    std::string m_folder;
    int m_rfss = 0;
    int m_site = 0;
};
