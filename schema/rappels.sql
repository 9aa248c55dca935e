-- rappels.mdb: deferred certificates and visit reminders
-- Column order is the field order the program reads and writes by position.

CREATE TABLE IF NOT EXISTS Attestationsdifferees (
    "NUMATTEST" INTEGER NOT NULL,
    "NUMPAT" INTEGER,
    "NOM" TEXT(100),
    "ADRESSE" TEXT(30),
    "CODEPOSTAL" TEXT(10),
    "LOCALITE" TEXT(50),
    "DATE_SOIN" DATETIME,
    "MONTANT" DOUBLE,
    "ENVOYEE" YESNO DEFAULT 0
);
CREATE UNIQUE INDEX IF NOT EXISTS attestations_num ON Attestationsdifferees(NUMATTEST);

CREATE TABLE IF NOT EXISTS rappelsvisite (
    "NUMRAPPEL" INTEGER NOT NULL,
    "NUMPAT" INTEGER,
    "NOM" TEXT(100),
    "ADRESSE" TEXT(30),
    "CODEPOSTAL" TEXT(10),
    "LOCALITE" TEXT(50),
    "DATE_RAPPEL" DATETIME,
    "ENVOYE" YESNO DEFAULT 0
);
