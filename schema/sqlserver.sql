-- The mail server's route tables, for SQL Server, as the mail server creates
-- them (for reference: the tests have no SQL Server to run against).
-- Databases upgraded from old versions of the mail server may still hold
-- varchar(255) instead of nvarchar(255) addresses.

CREATE TABLE hm_routes (
  routeid int identity(1,1) not null,
  routedomainname nvarchar(255) not null,
  routedescription nvarchar(255) not null,
  routetargetsmthost nvarchar(255) not null,
  routetargetsmtport int not null,
  routenooftries int not null,
  routeminutesbetweentry int not null,
  routealladdresses tinyint not null,
  routeuseauthentication tinyint not null,
  routeauthenticationusername nvarchar(255) not null,
  routeauthenticationpassword nvarchar(255) not null,
  routetreatsecurityaslocal tinyint not null,
  routeconnectionsecurity tinyint not null,
  routetreatsenderaslocaldomain tinyint not null
);

ALTER TABLE hm_routes ADD CONSTRAINT hm_routes_pk PRIMARY KEY NONCLUSTERED (routeid);
ALTER TABLE hm_routes ADD CONSTRAINT u_routedomainname UNIQUE (routedomainname);

CREATE TABLE hm_routeaddresses (
  routeaddressid int identity(1,1) not null,
  routeaddressrouteid int not null,
  routeaddressaddress nvarchar(255) not null
);

ALTER TABLE hm_routeaddresses ADD CONSTRAINT hm_routeaddresses_pk PRIMARY KEY NONCLUSTERED (routeaddressid);
