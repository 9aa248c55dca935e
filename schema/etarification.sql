-- etarification.mdb: e-tar rejection codes and their designations
-- Column order is the field order the program reads and writes by position.

CREATE TABLE IF NOT EXISTS REJETS (
    "CODE" TEXT(10),
    "DESIGNATION" TEXT(255)
);
CREATE UNIQUE INDEX IF NOT EXISTS rejets_code ON REJETS(CODE);
