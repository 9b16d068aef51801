<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>tarvik::CommandLine</name>
    <message numerus="yes">
        <source>Left out, as no such folder exists:</source>
        <translation>
            <numerusform>Left out, as no such folder exists:</numerusform>
            <numerusform>Left out, as no such folder exists:</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>tarvik::LinkMarkedOperation</name>
    <message numerus="yes">
        <source>Make %Ln marked file(s) (%1) share their storage with a kept copy?</source>
        <translation>
            <numerusform>Make %Ln marked file (%1) share its storage with a kept copy?</numerusform>
            <numerusform>Make %Ln marked files (%1) share their storage with a kept copy?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Replace %Ln marked file(s) (%1) with hard links to a kept copy?</source>
        <translation>
            <numerusform>Replace %Ln marked file (%1) with a hard link to a kept copy?</numerusform>
            <numerusform>Replace %Ln marked files (%1) with hard links to a kept copy?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>In %Ln group(s) every file is marked: with no copy that stays to share with, their files stay as they are.</source>
        <translation>
            <numerusform>In %Ln group every file is marked: with no copy that stays to share with, its files stay as they are.</numerusform>
            <numerusform>In %Ln groups every file is marked: with no copy that stays to share with, their files stay as they are.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>In %Ln group(s) every file is marked: with no copy that stays to link to, their files stay as they are.</source>
        <translation>
            <numerusform>In %Ln group every file is marked: with no copy that stays to link to, its files stay as they are.</numerusform>
            <numerusform>In %Ln groups every file is marked: with no copy that stays to link to, their files stay as they are.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln file(s) (%1) now share storage with a kept copy.</source>
        <translation>
            <numerusform>%Ln file (%1) now shares storage with a kept copy.</numerusform>
            <numerusform>%Ln files (%1) now share storage with a kept copy.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln file(s) (%1) are now hard links to a kept copy.</source>
        <translation>
            <numerusform>%Ln file (%1) is now a hard link to a kept copy.</numerusform>
            <numerusform>%Ln files (%1) are now hard links to a kept copy.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>tarvik::MarkedFileRunner</name>
    <message numerus="yes">
        <source>%1 of %Ln file(s) · %2 of %3</source>
        <translation>
            <numerusform>%1 of %Ln file · %2 of %3</numerusform>
            <numerusform>%1 of %Ln files · %2 of %3</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln stayed: %1.</source>
        <translation>
            <numerusform>%Ln stayed: %1.</numerusform>
            <numerusform>%Ln stayed: %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln not attempted: cancelled.</source>
        <translation>
            <numerusform>%Ln not attempted: cancelled.</numerusform>
            <numerusform>%Ln not attempted: cancelled.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>tarvik::ResultTally</name>
    <message numerus="yes">
        <source>%Ln group(s)</source>
        <translation>
            <numerusform>%Ln group</numerusform>
            <numerusform>%Ln groups</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln duplicate file(s)</source>
        <translation>
            <numerusform>%Ln duplicate file</numerusform>
            <numerusform>%Ln duplicate files</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source> · %Ln marked (%1)</source>
        <translation>
            <numerusform> · %Ln marked (%1)</numerusform>
            <numerusform> · %Ln marked (%1)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln file(s)</source>
        <translation>
            <numerusform>%Ln file</numerusform>
            <numerusform>%Ln files</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source> · %1 of %Ln group(s) shown</source>
        <translation>
            <numerusform> · %1 of %Ln group shown</numerusform>
            <numerusform> · %1 of %Ln groups shown</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>tarvik::ScanCommand</name>
    <message numerus="yes">
        <source>; %n group(s)</source>
        <translation>
            <numerusform>; %n group</numerusform>
            <numerusform>; %n groups</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n duplicate(s)</source>
        <translation>
            <numerusform>, %n duplicate</numerusform>
            <numerusform>, %n duplicates</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>listing: %n file(s), %1</source>
        <translation>
            <numerusform>listing: %n file, %1</numerusform>
            <numerusform>listing: %n files, %1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>comparing: %1 of %n file(s), %2 of %3</source>
        <translation>
            <numerusform>comparing: %1 of %n file, %2 of %3</numerusform>
            <numerusform>comparing: %1 of %n files, %2 of %3</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>tarvik::TrashMarkedOperation</name>
    <message numerus="yes">
        <source>Move %Ln marked file(s) (%1) to the trash?</source>
        <translation>
            <numerusform>Move %Ln marked file (%1) to the trash?</numerusform>
            <numerusform>Move %Ln marked files (%1) to the trash?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>In %Ln group(s) every file is marked: those groups would lose every copy, so their files stay unless you choose to trash them too.</source>
        <translation>
            <numerusform>In %Ln group every file is marked: that group would lose every copy, so its files stay unless you choose to trash them too.</numerusform>
            <numerusform>In %Ln groups every file is marked: those groups would lose every copy, so their files stay unless you choose to trash them too.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln file(s) (%1) went to the trash.</source>
        <translation>
            <numerusform>%Ln file (%1) went to the trash.</numerusform>
            <numerusform>%Ln files (%1) went to the trash.</numerusform>
        </translation>
    </message>
</context>
</TS>
