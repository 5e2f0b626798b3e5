-- The mail server's route tables, for PostgreSQL, as the mail server creates
-- them: bigserial keys, no index besides the primary keys, a UTF8 database.

CREATE TABLE hm_routes (
  routeid BIGSERIAL PRIMARY KEY,
  routedomainname VARCHAR(255) NOT NULL,
  routedescription VARCHAR(255) NOT NULL,
  routetargetsmthost VARCHAR(255) NOT NULL,
  routetargetsmtport INTEGER NOT NULL,
  routenooftries INTEGER NOT NULL,
  routeminutesbetweentry INTEGER NOT NULL,
  routealladdresses SMALLINT NOT NULL,
  routeuseauthentication SMALLINT NOT NULL,
  routeauthenticationusername VARCHAR(255) NOT NULL,
  routeauthenticationpassword VARCHAR(255) NOT NULL,
  routetreatsecurityaslocal SMALLINT NOT NULL,
  routeconnectionsecurity SMALLINT NOT NULL,
  routetreatsenderaslocaldomain SMALLINT NOT NULL
);

CREATE TABLE hm_routeaddresses (
  routeaddressid BIGSERIAL PRIMARY KEY,
  routeaddressrouteid BIGINT NOT NULL,
  routeaddressaddress VARCHAR(255) NOT NULL
);
